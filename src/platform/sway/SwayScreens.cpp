// sway's outputs, cached and refreshed on events, see SwayScreens.h.
#include "platform/sway/SwayScreens.h"

#include "platform/i3ipc/I3IpcError.h"
#include "platform/sway/SwayLayout.h"

namespace halvo {

SwayScreens::SwayScreens(SwayIpcPool& pool, SwayIpcEvents& events) : m_pool(pool) {
    refresh();
    m_outputEvents =
        std::make_unique<SwayIpcEvents>(pool.socketPath(), std::vector<std::string>{"output"});
    if (m_outputEvents->ok())
        m_outputEvents->on("output", [this](const nlohmann::json&) { refresh(); });
    else
        m_outputEvents.reset();
    // A workspace shown, focused or rearranged (a bar appearing) changes the visible frames and
    // the focused output.
    events.on("workspace", [this](const nlohmann::json&) { refresh(); });
}

void SwayScreens::refresh() const {
    std::vector<I3Output> outputs;
    std::vector<I3Workspace> workspaces;
    try {
        m_pool.with([&](I3IpcClient& client) {
            outputs = client.outputs();
            workspaces = client.workspaces();
            return true;
        });
    } catch (const I3IpcError&) {
        return; // sway is going away; the last known outputs stay until it is gone
    }
    std::lock_guard lock(m_mutex);
    m_screens =
        SwayLayout::screens(outputs, workspaces, m_identifiers, m_nextIdentifier, m_focused);
}

std::vector<Screen> SwayScreens::screens() const {
    std::lock_guard lock(m_mutex);
    return m_screens;
}

std::optional<Screen> SwayScreens::mainScreen() const {
    std::lock_guard lock(m_mutex);
    if (m_focused)
        return m_screens[*m_focused];
    if (!m_screens.empty())
        return m_screens.front();
    return std::nullopt;
}

Point SwayScreens::mouseLocation() const {
    const std::optional<Screen> main = mainScreen();
    if (!main)
        return {};
    return {main->frame.midX(), main->frame.midY()};
}

} // namespace halvo
