// Keeping sway's tree between questions, see SwayTreeCache.h.
#include "platform/sway/SwayTreeCache.h"

#include "platform/i3ipc/I3IpcError.h"

namespace halvo {

// No handler for the events themselves: their bytes were counted when they arrived, and
// dropping the tree again when the loop hands them over would parse it once more for nothing.
SwayTreeCache::SwayTreeCache(SwayIpcPool& pool, SwayIpcEvents& events, ProcessID ownPid)
    : m_pool(pool), m_events(events), m_ownPid(ownPid) {}

std::optional<SwayClientList> SwayTreeCache::read() {
    // Counted before the request: an event that comes while sway answers makes the next read
    // ask again, even if this tree already shows its change.
    const std::uint64_t received = m_events.received();
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_tree && received == m_receivedBefore)
            return m_tree;
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
        return tree;
    } catch (const I3IpcError&) {
        return std::nullopt;
    }
}

void SwayTreeCache::invalidate() {
    std::lock_guard lock(m_mutex);
    m_tree.reset();
    ++m_generation;
}

} // namespace halvo
