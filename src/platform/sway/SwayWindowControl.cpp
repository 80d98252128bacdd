// Windows read from sway's layout tree and changed with commands, see SwayWindowControl.h.
#include "platform/sway/SwayWindowControl.h"

#include "platform/i3ipc/I3Command.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/sway/SwayLayout.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace halvo {
namespace {

std::string select(std::int64_t conId) {
    return "[con_id=" + std::to_string(conId) + "] ";
}

bool sameOrigin(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) < 1 && std::abs(a.y - b.y) < 1;
}

std::string pixels(double value) {
    return std::to_string(std::lround(value));
}

} // namespace

bool SwayWindowControl::isWindowManagerRunning() {
    try {
        return m_pool.with([](I3IpcClient& client) {
            return !client.request(I3IpcMessage::Type::getVersion).empty();
        });
    } catch (const I3IpcError& error) {
        // A late answer comes from a sway that is there but swamped (a client flooding it, a
        // loaded machine): switching waits for it. A missing or closed socket means no sway.
        return error.kind() == I3IpcError::Kind::timedOut;
    }
}

std::optional<SwayClientList> SwayWindowControl::read() {
    return m_tree.read();
}

WindowInfo SwayWindowControl::describe(const SwayClientList::Window& window) {
    WindowInfo info;
    info.id = static_cast<WindowID>(window.id);
    info.kind = window.kind;
    info.frame = window.frame;
    info.minimized = window.scratchpad;
    info.fullScreen = window.fullScreen;
    // A window in the scratchpad has no place until it is shown again.
    info.canMove = !window.scratchpad;
    info.canResize = window.floating && !window.scratchpad;
    info.canFullScreen = true;
    return info;
}

std::optional<AppWindows> SwayWindowControl::windows(ProcessID pid) {
    const std::optional<SwayClientList> list = read();
    if (!list)
        return std::nullopt;
    const SwayClientList::Application* app = list->find(pid);
    if (!app)
        return std::nullopt;
    AppWindows result;
    for (const SwayClientList::Window& window : app->windows)
        result.windows.push_back(describe(window));
    if (const SwayClientList::Window* main = list->mainWindow(*app)) {
        result.main = static_cast<WindowID>(main->id);
        result.focused = result.main;
    }
    return result;
}

WindowResult SwayWindowControl::run(std::int64_t conId, const std::string& command) {
    std::vector<I3CommandResult> results;
    try {
        results = m_pool.with([&](I3IpcClient& client) { return client.runCommand(command); });
    } catch (const I3IpcError&) {
        m_tree.invalidate();
        return WindowResult::failed;
    }
    m_tree.invalidate();
    const bool done = !results.empty() && std::all_of(results.begin(), results.end(),
                                                      [](const auto& r) { return r.success; });
    if (done)
        return WindowResult::ok;
    // "No matching node" and the like: tell a vanished window from a refusal.
    const std::optional<SwayClientList> list = read();
    if (list && !list->window(conId))
        return WindowResult::gone;
    return WindowResult::refused;
}

WindowResult SwayWindowControl::settle(
    std::int64_t conId,
    const std::function<bool(const SwayClientList&, const SwayClientList::Window&)>& done,
    double timeout) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    for (;;) {
        // A floating window's new place comes with no event: each round asks sway.
        m_tree.invalidate();
        if (const std::optional<SwayClientList> list = read()) {
            const SwayClientList::Window* window = list->window(conId);
            if (!window)
                return WindowResult::gone;
            if (done(*list, *window))
                return WindowResult::ok;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return WindowResult::failed;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

WindowResult SwayWindowControl::raise(const WindowInfo& window) {
    const std::optional<SwayClientList> list = read();
    if (!list)
        return WindowResult::failed;
    return list->window(static_cast<std::int64_t>(window.id)) ? WindowResult::ok
                                                              : WindowResult::gone;
}

WindowResult SwayWindowControl::activate(const WindowInfo& window) {
    const auto conId = static_cast<std::int64_t>(window.id);
    // Focusing the focused window changes nothing, but while Halvo's keyboard surface is up sway
    // still sends focus events, which make the kept tree stale for the next question.
    const std::optional<SwayClientList> list = read();
    const SwayClientList::Window* now = list ? list->window(conId) : nullptr;
    if (now && now->focused)
        return WindowResult::ok;
    return run(conId, select(conId) + "focus");
}

WindowResult SwayWindowControl::setMinimized(const WindowInfo& window, bool minimized) {
    if (minimized == window.minimized)
        return WindowResult::ok;
    const auto conId = static_cast<std::int64_t>(window.id);
    const WindowResult sent = run(conId, select(conId) + (minimized ? "move scratchpad" : "focus"));
    if (sent != WindowResult::ok)
        return sent;
    return settle(
        conId, [&](const auto&, const auto& now) { return now.scratchpad == minimized; },
        stateTimeout);
}

WindowResult SwayWindowControl::setFullScreen(const WindowInfo& window, bool fullScreen) {
    if (!window.canFullScreen)
        return WindowResult::refused;
    const auto conId = static_cast<std::int64_t>(window.id);
    const WindowResult sent =
        run(conId, select(conId) + "fullscreen " + (fullScreen ? "enable" : "disable"));
    if (sent != WindowResult::ok)
        return sent;
    return settle(
        conId, [&](const auto&, const auto& now) { return now.fullScreen == fullScreen; },
        stateTimeout);
}

WindowResult SwayWindowControl::setFrame(const WindowInfo& info, const Rect& frame) {
    if (!info.canMove)
        return WindowResult::refused;
    const std::optional<SwayClientList> list = read();
    if (!list)
        return WindowResult::failed;
    const SwayClientList::Window* window = list->window(static_cast<std::int64_t>(info.id));
    if (!window)
        return WindowResult::gone;
    return window->floating ? moveFloating(*window, frame) : moveTiled(*list, *window, frame);
}

WindowResult SwayWindowControl::moveFloating(const SwayClientList::Window& window,
                                             const Rect& layout) {
    const std::string target = select(window.id);
    std::string command;
    // Resized first, so that the window is placed at its new size.
    if (std::abs(layout.width - window.frame.width) >= 1 ||
        std::abs(layout.height - window.frame.height) >= 1)
        command = target + "resize set " + pixels(layout.width) + " px " + pixels(layout.height) +
                  " px; ";
    command +=
        target + "move absolute position " + pixels(layout.x) + " px " + pixels(layout.y) + " px";
    if (const WindowResult sent = run(window.id, command); sent != WindowResult::ok)
        return sent;
    const Rect wanted{std::round(layout.x), std::round(layout.y), 0, 0};
    const WindowResult landed = settle(
        window.id, [&](const auto&, const auto& now) { return sameOrigin(now.frame, wanted); },
        settleTimeout);
    // Where it landed is the caller's to read back; only a vanished window is news.
    return landed == WindowResult::gone ? landed : WindowResult::ok;
}

WindowResult SwayWindowControl::moveTiled(const SwayClientList& list,
                                          const SwayClientList::Window& window,
                                          const Rect& layout) {
    std::vector<Rect> rects;
    for (const SwayClientList::Output& output : list.outputs())
        rects.push_back(output.rect);
    const std::optional<std::size_t> index = SwayLayout::outputFor(layout, rects);
    if (!index)
        return WindowResult::failed;
    const SwayClientList::Output& output = list.outputs()[*index];
    if (output.name == window.output)
        return WindowResult::ok; // sway's layout decides where on the output it goes
    // To the workspace the output shows, not to the output: sway 1.7 puts a tiled window moved
    // "to output" beside the window focused there, which makes it floating (at 18x18) when that
    // one floats.
    const std::string command =
        output.currentWorkspace.empty()
            ? I3Command::moveToOutput(window.id, {output.name, true, output.rect, {}})
            : select(window.id) + "move container to workspace " +
                  I3Command::quoted(output.currentWorkspace);
    const WindowResult sent = run(window.id, command);
    if (sent != WindowResult::ok)
        return sent;
    const WindowResult landed = settle(
        window.id,
        [&](const auto&, const auto& now) {
            // The tree names the new output before the layout there has given the window its
            // place; the caller reads that place back.
            return now.output == output.name &&
                   now.frame.intersection(output.rect).area() >= now.frame.area() / 2;
        },
        settleTimeout);
    return landed == WindowResult::gone ? landed : WindowResult::ok;
}

} // namespace halvo
