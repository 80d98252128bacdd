// Window reads and changes answered from the simulated window records, with injected failures.
#include "platform/sim/SimWindowControl.h"

#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <mutex>

namespace halvo {
namespace {

using Op = SimDesktop::WindowOperation;

WindowInfo infoOf(WindowID id, const SimWindowAttributes& attributes) {
    WindowInfo info;
    info.id = id;
    info.kind = attributes.kind;
    info.frame = attributes.frame;
    info.minimized = attributes.minimized;
    info.fullScreen = attributes.fullScreen;
    info.maximizedHorizontally = attributes.maximizedHorizontally;
    info.maximizedVertically = attributes.maximizedVertically;
    info.canMove = attributes.canMove;
    info.canResize = attributes.canResize;
    info.canFullScreen = attributes.canFullScreen;
    return info;
}

} // namespace

bool SimWindowControl::isWindowManagerRunning() {
    std::lock_guard lock(m_desktop.m_mutex);
    return m_desktop.m_windowManagerRunning;
}

std::optional<AppWindows> SimWindowControl::windows(ProcessID pid) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_windowReads;
    if (!m_desktop.findApp(pid) ||
        std::find(m_desktop.m_unreadable.begin(), m_desktop.m_unreadable.end(), pid) !=
            m_desktop.m_unreadable.end())
        return std::nullopt;
    AppWindows result;
    for (const auto* window : m_desktop.windowsOf(pid)) {
        result.windows.push_back(infoOf(window->id, window->attributes));
        if (window->attributes.main && !result.main)
            result.main = window->id;
        if (window->attributes.focused && !result.focused)
            result.focused = window->id;
    }
    return result;
}

template <typename Request, typename Apply>
WindowResult SimWindowControl::change(Request request, Apply apply) {
    m_desktop.m_requests.push_back(request);
    if (auto failure = m_desktop.injectedFailure(request.window, request.operation))
        return *failure;
    auto* window = m_desktop.findWindow(request.window);
    if (!window)
        return WindowResult::gone;
    return apply(*window);
}

WindowResult SimWindowControl::raise(const WindowInfo& info) {
    std::lock_guard lock(m_desktop.m_mutex);
    return change(SimDesktop::WindowRequest{Op::raise, info.id}, [&](auto& window) {
        m_desktop.m_raises.push_back(window.id);
        // The topmost window of its application is its main window.
        for (auto* other : m_desktop.windowsOf(window.pid))
            other->attributes.main = other == &window;
        auto& windows = m_desktop.m_windows;
        const auto found = std::find_if(windows.begin(), windows.end(),
                                        [&](const auto& w) { return w.id == info.id; });
        std::rotate(windows.begin(), found, found + 1);
        return WindowResult::ok;
    });
}

WindowResult SimWindowControl::activate(const WindowInfo& info) {
    std::lock_guard lock(m_desktop.m_mutex);
    return change(SimDesktop::WindowRequest{Op::activate, info.id}, [&](auto& window) {
        window.attributes.minimized = false;
        for (auto* other : m_desktop.windowsOf(window.pid))
            other->attributes.focused = other == &window;
        return WindowResult::ok;
    });
}

WindowResult SimWindowControl::setMinimized(const WindowInfo& info, bool minimized) {
    std::lock_guard lock(m_desktop.m_mutex);
    return change(SimDesktop::WindowRequest{Op::setMinimized, info.id, {}, minimized},
                  [&](auto& window) {
                      window.attributes.minimized = minimized;
                      return WindowResult::ok;
                  });
}

WindowResult SimWindowControl::setFrame(const WindowInfo& info, const Rect& frame) {
    std::lock_guard lock(m_desktop.m_mutex);
    return change(SimDesktop::WindowRequest{Op::setFrame, info.id, frame}, [&](auto& window) {
        SimWindowAttributes& attributes = window.attributes;
        if (!attributes.canMove)
            return WindowResult::refused;
        // Size first: a window shrunk to fit is placed at its new size.
        if (frame.size() != attributes.frame.size() && attributes.canResize &&
            !attributes.ignoresResizes) {
            attributes.frame.width = frame.width;
            attributes.frame.height = frame.height;
        }
        if (!attributes.ignoresMoves) {
            attributes.frame.x = frame.x;
            attributes.frame.y = frame.y;
        }
        return WindowResult::ok;
    });
}

WindowResult SimWindowControl::setFullScreen(const WindowInfo& info, bool fullScreen) {
    std::lock_guard lock(m_desktop.m_mutex);
    return change(SimDesktop::WindowRequest{Op::setFullScreen, info.id, {}, fullScreen},
                  [&](auto& window) {
                      SimWindowAttributes& attributes = window.attributes;
                      if (!attributes.canFullScreen)
                          return WindowResult::refused;
                      if (attributes.ignoresFullScreen)
                          return WindowResult::failed;
                      attributes.fullScreen = fullScreen;
                      return WindowResult::ok;
                  });
}

} // namespace halvo
