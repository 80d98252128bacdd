// sway's layout tree as the window services last read it, shared by them and kept until it may
// have changed. One switch asks several questions in a row (the running applications, the
// frontmost one, the one to activate, then after the delay whether it is hidden, its windows,
// whether they are still there) and each used to parse the whole tree again. The tree is read
// again after Halvo sends a command and after sway sends any event, including events that have
// arrived but that the event loop has not handed over yet (counted in bytes, so the events of a
// command make the tree stale once, not until the loop reads them). Every change of what
// the list holds (windows opened, closed, focused, moved, full screen, put in the scratchpad;
// workspaces) comes with such an event, and sway writes it before it answers any later request,
// so the kept tree answers as a new read would. Except when Halvo has fallen so far behind that
// its socket may be full: sway then keeps the events that follow in its own buffer, uncounted,
// and the tree is read again for every question until the backlog is read.
//
// The cache also keeps the order in which windows took the focus, from sway's window focus
// events, and lists the windows of every tree it hands out in that order (see
// SwayClientList::orderByUse): an application's most recently used window is the one a switch
// brings, wherever sway's per-container focus stacks put it.
#pragma once

#include "platform/Workspace.h"
#include "platform/sway/SwayClientList.h"
#include "platform/sway/SwayIpcEvents.h"
#include "platform/sway/SwayIpcPool.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace halvo {

class SwayTreeCache {
public:
    // `events` must be subscribed to "window" and "workspace" events and outlive the cache.
    // Main thread.
    SwayTreeCache(SwayIpcPool& pool, SwayIpcEvents& events, ProcessID ownPid);
    SwayTreeCache(const SwayTreeCache&) = delete;
    SwayTreeCache& operator=(const SwayTreeCache&) = delete;

    // The tree as sway would report it now; nothing when sway does not answer. Any thread.
    std::optional<SwayClientList> read();
    // After a command: the next read asks sway. Any thread.
    void invalidate();

    // How many windows the order of use remembers; older ones fall back to the tree's order.
    static constexpr std::size_t remembered = 512;

private:
    void windowEvent(const nlohmann::json& event);
    // The tree with its windows in the order of use; m_mutex held.
    SwayClientList ordered(SwayClientList tree) const;

    SwayIpcPool& m_pool;
    SwayIpcEvents& m_events;
    ProcessID m_ownPid;
    std::mutex m_mutex;
    std::optional<SwayClientList> m_tree;
    // SwayIpcEvents::received() before m_tree was asked for: while it stays the same, sway has
    // sent no event since.
    std::uint64_t m_receivedBefore = 0;
    // Counts invalidations: a tree asked for before one is not kept.
    std::uint64_t m_generation = 0;
    // con_ids, most recently focused first; a closed window leaves.
    std::vector<std::int64_t> m_recentlyFocused;
};

} // namespace halvo
