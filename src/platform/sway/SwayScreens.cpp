// sway's outputs in screen space, cached and refreshed on events, see SwayScreens.h.
#include "platform/sway/SwayScreens.h"

#include "platform/i3ipc/I3IpcError.h"
#include "platform/sway/SwayLayout.h"

#include <algorithm>

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

std::vector<Screen> SwayScreens::fromReplies(const std::vector<I3Output>& outputs,
                                             const std::vector<I3Workspace>& workspaces,
                                             std::map<std::string, std::uint64_t>& identifiers,
                                             std::uint64_t& next,
                                             std::optional<std::size_t>& focused) {
    std::vector<const I3Output*> active;
    std::vector<Rect> rects;
    for (const I3Output& output : outputs) {
        if (output.active && !output.rect.isEmpty()) {
            active.push_back(&output);
            rects.push_back(output.rect);
        }
    }
    focused.reset();
    const std::optional<std::size_t> primary = SwayLayout::primaryIndex(rects);
    if (!primary) {
        identifiers.clear();
        return {};
    }
    // Primary first, the others in sway's order.
    std::rotate(active.begin(), active.begin() + static_cast<std::ptrdiff_t>(*primary),
                active.begin() + static_cast<std::ptrdiff_t>(*primary) + 1);
    const Rect primaryRect = rects[*primary];
    std::map<std::string, std::uint64_t> kept;
    std::vector<Screen> result;
    for (const I3Output* output : active) {
        Screen screen;
        screen.name = output->name;
        const auto known = identifiers.find(output->name);
        screen.identifier = known != identifiers.end() ? known->second : next++;
        kept[output->name] = screen.identifier;
        screen.frame = SwayLayout::toScreenSpace(output->rect, primaryRect);
        Rect visible = output->rect;
        for (const I3Workspace& workspace : workspaces) {
            if (workspace.name == output->currentWorkspace && workspace.output == output->name &&
                !workspace.rect.isEmpty())
                visible = workspace.rect.intersection(output->rect);
        }
        screen.visibleFrame = SwayLayout::toScreenSpace(visible, primaryRect);
        if (output->focused)
            focused = result.size();
        result.push_back(std::move(screen));
    }
    identifiers = std::move(kept);
    return result;
}

void SwayScreens::refresh() {
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
    m_screens = fromReplies(outputs, workspaces, m_identifiers, m_nextIdentifier, m_focused);
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
