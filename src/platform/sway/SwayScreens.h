// The outputs sway reports (GET_OUTPUTS), primary first (see SwayLayout for which one that is),
// in sway's layout coordinates. An output's visible frame is the area of the workspace it shows
// (GET_WORKSPACES), which sway makes the output less what bars and panels reserve. sway tells no
// client where the pointer is; it moves the focus to the output the pointer enters, so the
// focused output stands for the pointer's: mouseLocation() is its centre.
//
// Read once, then again on sway's workspace events, where sway has them (from 1.8; 1.7 refuses
// the subscription) its output events, and before each show of the overlay, never per call:
// screens() is answered from the cache on any thread. On sway 1.7 an output plugged in or out shows
// through the workspaces it takes or gives up; a mode, scale or position change alone sends no
// event and is seen at the next show of the overlay.
#pragma once

#include "platform/Screens.h"
#include "platform/sway/SwayIpcEvents.h"
#include "platform/sway/SwayIpcPool.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class SwayScreens final : public Screens {
public:
    // Main thread. `events` must be subscribed to "workspace" events and outlive this object;
    // output events come through a subscription of its own.
    SwayScreens(SwayIpcPool& pool, SwayIpcEvents& events);

    std::vector<Screen> screens() const override;
    // The focused output.
    std::optional<Screen> mainScreen() const override;
    // The centre of the focused output.
    Point mouseLocation() const override;
    // The overlay is about to be shown: reads the outputs again (about a millisecond). A bar or
    // panel that maps or resizes reserves its space without any event sway sends to clients.
    void expectMouseLocation() const override { refresh(); }

    // Reads the outputs and workspaces again (the events call it).
    void refresh() const;

private:
    SwayIpcPool& m_pool;
    std::unique_ptr<SwayIpcEvents> m_outputEvents; // null where sway has no output events
    // What sway reported last: a cache, refreshed from const callers too.
    mutable std::mutex m_mutex;
    mutable std::vector<Screen> m_screens;
    mutable std::optional<std::size_t> m_focused;
    // An output keeps its identifier while it stays; one that comes back is a new screen.
    mutable std::map<std::string, std::uint64_t> m_identifiers;
    mutable std::uint64_t m_nextIdentifier = 1;
};

} // namespace halvo
