// Window reads and changes over the extension, each change read back.
#include "platform/gnome/GnomeWindowControl.h"

#include "platform/gnome/GnomeShellClient.h"
#include "platform/gnome/GnomeWindowList.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <unistd.h>

namespace halvo {
namespace {

std::optional<GnomeWindowList> readList(const GnomeShellClient& shell) {
    const std::optional<std::string> text = shell.windowsText();
    if (!text)
        return std::nullopt;
    return GnomeWindowList::parse(*text, static_cast<ProcessID>(getpid()));
}

} // namespace

bool GnomeWindowControl::isWindowManagerRunning() {
    return m_shell.windowsText().has_value();
}

std::optional<AppWindows> GnomeWindowControl::windows(ProcessID pid) {
    const std::optional<GnomeWindowList> list = readList(m_shell);
    const auto* app = list ? list->find(pid) : nullptr;
    if (!app)
        return std::nullopt;
    AppWindows result;
    for (const auto& window : app->windows)
        result.windows.push_back(window.info);
    if (const auto* main = list->mainWindow(*app))
        result.main = main->info.id;
    if (const auto* focused = list->focusedWindow(); focused && focused->appKey == app->appKey)
        result.focused = focused->info.id;
    else if (result.main)
        result.focused = result.main;
    return result;
}

std::optional<WindowInfo> GnomeWindowControl::current(WindowID id) const {
    const std::optional<GnomeWindowList> list = readList(m_shell);
    const auto* window = list ? list->window(id) : nullptr;
    if (!window)
        return std::nullopt;
    return window->info;
}

WindowResult GnomeWindowControl::waitFor(WindowID id,
                                         const std::function<bool(const WindowInfo&)>& seen) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(changeWaitSeconds);
    for (;;) {
        const std::optional<WindowInfo> window = current(id);
        if (!window)
            return WindowResult::gone;
        if (seen(*window))
            return WindowResult::ok;
        if (std::chrono::steady_clock::now() >= deadline)
            return WindowResult::failed;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

WindowResult GnomeWindowControl::raise(const WindowInfo& window) {
    return m_shell.raise(window.id) ? WindowResult::ok : WindowResult::gone;
}

WindowResult GnomeWindowControl::activate(const WindowInfo& window) {
    return m_shell.activate(window.id) ? WindowResult::ok : WindowResult::gone;
}

WindowResult GnomeWindowControl::setMinimized(const WindowInfo& window, bool minimized) {
    if (!m_shell.setMinimized(window.id, minimized))
        return WindowResult::gone;
    return waitFor(window.id, [&](const WindowInfo& w) { return w.minimized == minimized; });
}

WindowResult GnomeWindowControl::setFrame(const WindowInfo& window, const Rect& frame) {
    if (window.kind == WindowInfo::Kind::desktop || !window.canMove)
        return WindowResult::refused;
    const int x = static_cast<int>(std::lround(frame.x));
    const int y = static_cast<int>(std::lround(frame.y));
    // A maximised axis keeps its length.
    const Rect size{0, 0, window.maximizedHorizontally ? window.frame.width : frame.width,
                    window.maximizedVertically ? window.frame.height : frame.height};
    if (!m_shell.setFrame(window.id, x, y, static_cast<int>(std::lround(size.width)),
                          static_cast<int>(std::lround(size.height))))
        return WindowResult::gone;
    const WindowResult result =
        waitFor(window.id, [&](const WindowInfo& w) { return w.frame.x == x && w.frame.y == y; });
    // Mutter may keep a window from reaching the exact spot (a panel in the way): the caller
    // reads where it landed.
    return result == WindowResult::failed ? WindowResult::ok : result;
}

WindowResult GnomeWindowControl::setFullScreen(const WindowInfo& window, bool fullScreen) {
    if (!window.canFullScreen)
        return WindowResult::refused;
    if (!m_shell.setFullScreen(window.id, fullScreen))
        return WindowResult::gone;
    return waitFor(window.id, [&](const WindowInfo& w) { return w.fullScreen == fullScreen; });
}

} // namespace halvo
