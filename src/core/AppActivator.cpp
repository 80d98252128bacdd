// The activation pipeline: delay, unhide, open, raise, activate, confirm.
#include "core/AppActivator.h"

#include <algorithm>
#include <random>
#include <utility>

namespace halvo {

AppActivator::AppActivator(Workspace& workspace, WindowControl& windowControl, MainQueue& mainQueue,
                           Log& log)
    : m_workspace(workspace), m_windowControl(windowControl), m_mainQueue(mainQueue), m_log(log),
      m_latestToken(std::random_device{}()) {}

void AppActivator::activate(ProcessID pid, std::function<void(bool)> completion,
                            std::optional<double> requestTime) {
    const Token token = ++m_latestToken;
    const auto application = m_workspace.runningApplication(pid);
    if (!application || application->isTerminated || !application->hasBundleURL) {
        completion(false);
        return;
    }
    std::string bundleID = application->bundleIdentifier.value_or("unknown");
    std::weak_ptr<int> alive = m_lifetime;
    const double elapsed =
        requestTime ? std::clamp(m_mainQueue.now() - *requestTime, 0.0, activationDelay) : 0.0;
    m_mainQueue.postAfter(
        activationDelay - elapsed, [this, alive, token, pid, bundleID = std::move(bundleID),
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
    if (m_windowControl.isWindowManagerRunning())
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
        if (m_windowControl.isWindowManagerRunning())
            raiseWindows(pid);
        completion(true);
        return;
    }
    m_log.write("Halvo: Activation was not confirmed for " + bundleID);
    completion(false);
}

bool AppActivator::raiseWindows(ProcessID pid) {
    const std::optional<AppWindows> app = m_windowControl.windows(pid);
    if (!app)
        return false;
    const WindowInfo* window = app->find(app->main);
    if (window && !isWindow(*window))
        window = nullptr;
    for (auto it = app->windows.begin(); !window && it != app->windows.end(); ++it) {
        if (isWindow(*it))
            window = &*it;
    }
    if (!window)
        return false;

    if (window->minimized)
        m_windowControl.setMinimized(*window, false);
    const WindowResult raised = m_windowControl.raise(*window);
    m_windowControl.activate(*window);
    return raised == WindowResult::ok;
}

bool AppActivator::isWindow(const WindowInfo& window) {
    return window.kind != WindowInfo::Kind::desktop && !window.frame.isEmpty();
}

} // namespace halvo
