// Keeping sway's tree between questions, see SwayTreeCache.h.
#include "platform/sway/SwayTreeCache.h"

#include "platform/i3ipc/I3IpcError.h"

namespace halvo {

// The events do not drop the tree: their bytes were counted when they arrived, and dropping it
// again when the loop hands them over would parse it once more for nothing. The window events
// only keep the order of use, which is applied to each tree handed out.
SwayTreeCache::SwayTreeCache(SwayIpcPool& pool, SwayIpcEvents& events, ProcessID ownPid)
    : m_pool(pool), m_events(events), m_ownPid(ownPid) {
    events.on("window", {"focus", "close"},
              [this](const nlohmann::json& event) { windowEvent(event); });
}

void SwayTreeCache::windowEvent(const nlohmann::json& event) {
    if (!event.is_object() || !event.contains("container") || !event["container"].is_object())
        return;
    const std::string change = event.value("change", "");
    const nlohmann::json& id = event["container"].value("id", nlohmann::json());
    if ((change != "focus" && change != "close") || !id.is_number_integer())
        return;
    const auto conId = id.get<std::int64_t>();
    std::lock_guard lock(m_mutex);
    std::erase(m_recentlyFocused, conId);
    if (change == "close")
        return;
    m_recentlyFocused.insert(m_recentlyFocused.begin(), conId);
    if (m_recentlyFocused.size() > remembered)
        m_recentlyFocused.pop_back();
}

std::optional<SwayClientList> SwayTreeCache::read() {
    // Counted before the request: an event that comes while sway answers makes the next read
    // ask again, even if this tree already shows its change.
    const std::uint64_t received = m_events.received();
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_tree && received == m_receivedBefore && !m_events.backlogged())
            return ordered(*m_tree);
        generation = m_generation;
    }
    try {
        std::optional<SwayClientList> tree = m_pool.with([this](I3IpcClient& client) {
            return SwayClientList::fromTree(client.tree(), m_ownPid);
        });
        std::lock_guard lock(m_mutex);
        // A command sent while sway answered may have changed the tree after it was read: it is
        // this caller's answer, but the next read asks again.
        if (generation == m_generation) {
            m_tree = tree;
            m_receivedBefore = received;
        }
        return ordered(std::move(*tree));
    } catch (const I3IpcError&) {
        return std::nullopt;
    }
}

SwayClientList SwayTreeCache::ordered(SwayClientList tree) const {
    tree.orderByUse(m_recentlyFocused);
    return tree;
}

void SwayTreeCache::invalidate() {
    std::lock_guard lock(m_mutex);
    m_tree.reset();
    ++m_generation;
}

} // namespace halvo
