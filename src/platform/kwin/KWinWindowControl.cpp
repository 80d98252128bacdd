// Reads and changes through the script; see KWinWindowControl.h.
#include "platform/kwin/KWinWindowControl.h"

#include <thread>

namespace halvo {
namespace {

WindowResult resultOf(const std::string& outcome) {
    if (outcome == "ok")
        return WindowResult::ok;
    if (outcome == "gone")
        return WindowResult::gone;
    if (outcome == "refused")
        return WindowResult::refused;
    if (outcome == "unsupported")
        return WindowResult::unsupported;
    return WindowResult::failed;
}

} // namespace

KWinWindowControl::KWinWindowControl(KWinScriptChannel& channel) : m_channel(channel) {}

bool KWinWindowControl::isWindowManagerRunning() {
    return m_channel.send({{"op", "state"}}, commandTimeout).has_value();
}

std::optional<AppWindows> KWinWindowControl::windows(ProcessID pid) {
    const auto result = m_channel.send({{"op", "state"}}, commandTimeout);
    if (!result)
        return std::nullopt;
    const KWinState& state = result->state;
    const auto application = state.application(pid);
    if (!application)
        return std::nullopt;
    AppWindows windows;
    const KWinState::Window* active = state.activeWindow();
    for (const KWinState::Window* window : application->windows) {
        windows.windows.push_back(window->info);
        if (!windows.main && !window->info.minimized)
            windows.main = window->id;
        if (window == active)
            windows.focused = window->id;
    }
    if (!windows.main && !windows.windows.empty())
        windows.main = windows.windows.front().id;
    if (!windows.focused)
        windows.focused = windows.main;
    return windows;
}

WindowResult KWinWindowControl::command(nlohmann::json command) {
    const auto result = m_channel.send(std::move(command), commandTimeout);
    return result ? resultOf(result->outcome) : WindowResult::failed;
}

WindowResult KWinWindowControl::raise(const WindowInfo& window) {
    return command({{"op", "raise"}, {"window", window.id}});
}

WindowResult KWinWindowControl::activate(const WindowInfo& window) {
    return command({{"op", "activate"}, {"window", window.id}});
}

WindowResult KWinWindowControl::setMinimized(const WindowInfo& window, bool minimized) {
    return command({{"op", "minimize"}, {"window", window.id}, {"value", minimized}});
}

WindowResult KWinWindowControl::setFrame(const WindowInfo& window, const Rect& frame) {
    if (!window.canMove)
        return WindowResult::refused;
    const nlohmann::json rect = {
        {"x", frame.x}, {"y", frame.y}, {"w", frame.width}, {"h", frame.height}};
    const WindowResult sent = command({{"op", "frame"}, {"window", window.id}, {"frame", rect}});
    if (sent != WindowResult::ok)
        return sent;
    // ok once it shows the new position, or when the wait ends (the caller reads it back).
    const WindowResult seen = settle(window.id, [&](const WindowInfo& now) {
        return now.frame.x == frame.x && now.frame.y == frame.y;
    });
    return seen == WindowResult::gone ? seen : WindowResult::ok;
}

WindowResult KWinWindowControl::setFullScreen(const WindowInfo& window, bool fullScreen) {
    if (!window.canFullScreen && fullScreen)
        return WindowResult::refused;
    const WindowResult sent =
        command({{"op", "fullScreen"}, {"window", window.id}, {"value", fullScreen}});
    if (sent != WindowResult::ok)
        return sent;
    return settle(window.id, [&](const WindowInfo& now) { return now.fullScreen == fullScreen; });
}

WindowResult KWinWindowControl::settle(WindowID id,
                                       const std::function<bool(const WindowInfo&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + settleTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto result = m_channel.send({{"op", "state"}}, commandTimeout);
        if (result) {
            const KWinState::Window* window = result->state.window(id);
            if (!window)
                return WindowResult::gone;
            if (done(window->info))
                return WindowResult::ok;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WindowResult::failed;
}

} // namespace halvo
