// The activation pipeline: delay, unhide, open, raise, activate, confirm.
#include "core/AppActivator.h"

#include <random>
#include <utility>

namespace halvo {

AppActivator::AppActivator(Workspace& workspace, Accessibility& accessibility, MainQueue& mainQueue,
                           Log& log)
    : m_workspace(workspace), m_accessibility(accessibility), m_mainQueue(mainQueue), m_log(log),
      m_latestToken(std::random_device{}()) {}

void AppActivator::activate(ProcessID pid, std::function<void(bool)> completion) {
    const Token token = ++m_latestToken;
    const auto application = m_workspace.runningApplication(pid);
    if (!application || application->isTerminated || !application->hasBundleURL) {
        completion(false);
        return;
    }
    std::string bundleID = application->bundleIdentifier.value_or("unknown");
    std::weak_ptr<int> alive = m_lifetime;
    m_mainQueue.postAfter(activationDelay, [this, alive, token, pid, bundleID = std::move(bundleID),
                                            completion = std::move(completion)]() mutable {
        if (alive.lock())
            openAfterDelay(token, pid, std::move(bundleID), std::move(completion));
    });
}

void AppActivator::openAfterDelay(Token token, ProcessID pid, std::string bundleID,
                                  std::function<void(bool)> completion) {
    if (token != m_latestToken)
        return;
    m_workspace.unhide(pid);
    std::weak_ptr<int> alive = m_lifetime;
    MainQueue& mainQueue = m_mainQueue;
    m_workspace.openApplication(
        pid, [this, alive, &mainQueue, token, pid, bundleID = std::move(bundleID),
              completion = std::move(completion)](std::optional<RunningApplication> application,
                                                  std::optional<std::string> error) mutable {
            // The workspace may answer on any thread; everything else happens on the main one.
            mainQueue.post([this, alive, token, pid, bundleID = std::move(bundleID),
                            application = std::move(application), error = std::move(error),
                            completion = std::move(completion)]() mutable {
                if (alive.lock())
                    handleOpenResult(token, pid, bundleID, std::move(application), std::move(error),
                                     std::move(completion));
            });
        });
}

void AppActivator::handleOpenResult(Token token, ProcessID pid, const std::string& bundleID,
                                    std::optional<RunningApplication> application,
                                    std::optional<std::string> error,
                                    std::function<void(bool)> completion) {
    if (token != m_latestToken)
        return;
    if (error || !application) {
        m_log.write("Halvo: Could not activate " + bundleID + ": " +
                    error.value_or("application unavailable"));
        completion(false);
        return;
    }
    if (m_accessibility.isProcessTrusted())
        raiseWindows(pid);
    m_workspace.activate(application->processIdentifier);
    std::weak_ptr<int> alive = m_lifetime;
    m_mainQueue.postAfter(confirmationDelay, [this, alive, token, pid, bundleID,
                                              completion = std::move(completion)]() mutable {
        if (alive.lock())
            confirm(token, pid, bundleID, std::move(completion));
    });
}

void AppActivator::confirm(Token token, ProcessID pid, const std::string& bundleID,
                           std::function<void(bool)> completion) {
    if (token != m_latestToken)
        return;
    const auto frontmost = m_workspace.frontmostApplication();
    if (frontmost && frontmost->processIdentifier == pid) {
        if (m_accessibility.isProcessTrusted())
            raiseWindows(pid);
        completion(true);
        return;
    }
    m_log.write("Halvo: Activation was not confirmed for " + bundleID);
    completion(false);
}

bool AppActivator::raiseWindows(ProcessID pid) {
    const AXElement application = m_accessibility.createApplication(pid);
    m_accessibility.setMessagingTimeout(application, raiseMessagingTimeout);

    std::optional<AXElement> window;
    AXValue mainWindow;
    if (m_accessibility.copyAttributeValue(application, ax::mainWindow, mainWindow) ==
            kAXErrorSuccess &&
        isWindowElement(m_accessibility, mainWindow)) {
        window = std::get<AXElement>(mainWindow);
    }
    if (!window) {
        AXValue windows;
        if (m_accessibility.copyAttributeValue(application, ax::windows, windows) ==
                kAXErrorSuccess &&
            std::holds_alternative<std::vector<AXElement>>(windows)) {
            for (const AXElement& candidate : std::get<std::vector<AXElement>>(windows)) {
                if (isWindowElement(m_accessibility, AXValue(candidate))) {
                    window = candidate;
                    break;
                }
            }
        }
    }
    if (!window)
        return false;

    AXValue minimized;
    if (m_accessibility.copyAttributeValue(*window, ax::minimized, minimized) == kAXErrorSuccess &&
        std::holds_alternative<bool>(minimized) && std::get<bool>(minimized)) {
        m_accessibility.setAttributeValue(*window, ax::minimized, AXValue(false));
    }
    const AXError raised = m_accessibility.performAction(*window, ax::raise);
    m_accessibility.setAttributeValue(*window, ax::main, AXValue(true));
    m_accessibility.setAttributeValue(application, ax::focusedWindow, AXValue(*window));
    return raised == kAXErrorSuccess;
}

bool AppActivator::isWindowElement(Accessibility& accessibility, const AXValue& value) {
    if (!std::holds_alternative<AXElement>(value))
        return false;
    const AXElement& element = std::get<AXElement>(value);
    AXValue role;
    if (accessibility.copyAttributeValue(element, ax::role, role) != kAXErrorSuccess ||
        !std::holds_alternative<std::string>(role) || std::get<std::string>(role) != ax::windowRole)
        return false;
    AXValue subrole;
    accessibility.copyAttributeValue(element, ax::subrole, subrole);
    if (!std::holds_alternative<std::string>(subrole))
        return true;
    return std::get<std::string>(subrole) != ax::desktopSubrole;
}

} // namespace halvo
