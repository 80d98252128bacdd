// Full-screen changes of the focused window, off the main thread for other processes.
#include "windows/WindowFullScreenService.h"

#include "core/AppActivator.h"

#include <utility>

namespace halvo {

WindowFullScreenService::WindowFullScreenService(Accessibility& accessibility, MainQueue& mainQueue,
                                                 BackgroundQueue& serialQueue, ProcessID ownPid)
    : m_accessibility(accessibility), m_mainQueue(mainQueue), m_serialQueue(serialQueue),
      m_ownPid(ownPid) {}

void WindowFullScreenService::setFullScreen(bool enter, ProcessID pid,
                                            std::function<void(Result)> completion) {
    if (!m_accessibility.isProcessTrusted()) {
        m_mainQueue.post([completion = std::move(completion)] { completion(Result::unavailable); });
        return;
    }
    if (pid == m_ownPid) {
        const Result result = applyFullScreen(m_accessibility, enter, pid);
        m_mainQueue.post([completion = std::move(completion), result] { completion(result); });
        return;
    }
    Accessibility& accessibility = m_accessibility;
    MainQueue& mainQueue = m_mainQueue;
    m_serialQueue.async(
        [&accessibility, &mainQueue, enter, pid, completion = std::move(completion)]() mutable {
            const Result result = applyFullScreen(accessibility, enter, pid);
            mainQueue.post([completion = std::move(completion), result] { completion(result); });
        });
}

WindowFullScreenService::Result
WindowFullScreenService::applyFullScreen(Accessibility& accessibility, bool enter, ProcessID pid) {
    const std::optional<AXElement> window = focusedWindow(accessibility, pid);
    if (!window)
        return Result::unavailable;
    const std::optional<bool> current = readFullScreen(accessibility, *window);
    if (!current)
        return Result::unavailable;
    if (*current == enter)
        return Result::unchanged;
    bool settable = false;
    if (accessibility.isAttributeSettable(*window, ax::fullScreen, settable) != kAXErrorSuccess ||
        !settable)
        return Result::unavailable;
    if (!writeFullScreen(accessibility, *window, enter))
        return Result::failed;
    // A window manager may take a request and ignore it: only the state read back counts.
    return readFullScreen(accessibility, *window) == enter ? Result::changed : Result::failed;
}

std::optional<AXElement> WindowFullScreenService::focusedWindow(Accessibility& accessibility,
                                                                ProcessID pid) {
    const AXElement application = accessibility.createApplication(pid);
    accessibility.setMessagingTimeout(application, fullScreenMessagingTimeout);
    AXValue focused;
    if (accessibility.copyAttributeValue(application, ax::focusedWindow, focused) !=
            kAXErrorSuccess ||
        !AppActivator::isWindowElement(accessibility, focused))
        return std::nullopt;
    const AXElement window = std::get<AXElement>(focused);
    accessibility.setMessagingTimeout(window, fullScreenMessagingTimeout);
    return window;
}

std::optional<bool> WindowFullScreenService::readFullScreen(Accessibility& accessibility,
                                                            const AXElement& window) {
    AXValue value;
    if (accessibility.copyAttributeValue(window, ax::fullScreen, value) != kAXErrorSuccess ||
        !std::holds_alternative<bool>(value))
        return std::nullopt;
    return std::get<bool>(value);
}

bool WindowFullScreenService::writeFullScreen(Accessibility& accessibility, const AXElement& window,
                                              bool enter) {
    return accessibility.setAttributeValue(window, ax::fullScreen, AXValue(enter)) ==
           kAXErrorSuccess;
}

} // namespace halvo
