// Full-screen changes of the focused window, off the main thread for other processes.
#include "windows/WindowFullScreenService.h"

#include "core/AppActivator.h"

#include <utility>

namespace halvo {

WindowFullScreenService::WindowFullScreenService(WindowControl& windowControl, MainQueue& mainQueue,
                                                 BackgroundQueue& serialQueue, ProcessID ownPid)
    : m_windowControl(windowControl), m_mainQueue(mainQueue), m_serialQueue(serialQueue),
      m_ownPid(ownPid) {}

void WindowFullScreenService::setFullScreen(bool enter, ProcessID pid,
                                            std::function<void(Result)> completion) {
    if (!m_windowControl.isWindowManagerRunning()) {
        m_mainQueue.post([completion = std::move(completion)] { completion(Result::unavailable); });
        return;
    }
    if (pid == m_ownPid) {
        const Result result = applyFullScreen(m_windowControl, enter, pid);
        m_mainQueue.post([completion = std::move(completion), result] { completion(result); });
        return;
    }
    WindowControl& windowControl = m_windowControl;
    MainQueue& mainQueue = m_mainQueue;
    m_serialQueue.async(
        [&windowControl, &mainQueue, enter, pid, completion = std::move(completion)]() mutable {
            const Result result = applyFullScreen(windowControl, enter, pid);
            mainQueue.post([completion = std::move(completion), result] { completion(result); });
        });
}

WindowFullScreenService::Result
WindowFullScreenService::applyFullScreen(WindowControl& windowControl, bool enter, ProcessID pid) {
    const std::optional<AppWindows> app = windowControl.windows(pid);
    const WindowInfo* window = app ? app->find(app->focused) : nullptr;
    if (!window || !AppActivator::isWindow(*window))
        return Result::unavailable;
    if (window->fullScreen == enter)
        return Result::unchanged;
    if (!window->canFullScreen)
        return Result::unavailable;
    // The backend waits until the window shows the state: a window manager may take a request
    // and ignore it.
    return windowControl.setFullScreen(*window, enter) == WindowResult::ok ? Result::changed
                                                                           : Result::failed;
}

} // namespace halvo
