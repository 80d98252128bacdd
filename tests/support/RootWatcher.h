// Watches a display's root from a connection of its own: children created, mapped, unmapped and
// reparented, and the root's property changes, each stamped with the time it was read. For
// probes that time what another client shows.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <xcb/xcb.h>

namespace halvo::test {

class RootWatcher {
public:
    using Clock = std::chrono::steady_clock;

    struct Event {
        Clock::time_point at;
        uint8_t type = 0; // XCB_CREATE_NOTIFY, XCB_MAP_NOTIFY, ...
        xcb_window_t window = 0;
        xcb_window_t parent = 0;  // create: the parent; reparent: the new parent
        xcb_atom_t atom = 0;      // property notify: the property
        xcb_timestamp_t time = 0; // property notify: the server time of the change
        bool overrideRedirect = false;
    };

    explicit RootWatcher(const std::string& display);
    ~RootWatcher();
    RootWatcher(const RootWatcher&) = delete;
    RootWatcher& operator=(const RootWatcher&) = delete;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t intern(const char* name);

    // Synchronises with the server and drops every event that has arrived.
    void drain();
    // The first event `match` accepts within `seconds`; the others read meanwhile are dropped.
    std::optional<Event> waitFor(const std::function<bool(const Event&)>& match, double seconds);

    // The WM_CLASS instance of `window`, "" when unset.
    std::string wmClass(xcb_window_t window);
    // The WM_NAME of `window`, "" when unset.
    std::string name(xcb_window_t window);
    // The root's direct child whose WM_NAME is `title`, 0 when there is none.
    xcb_window_t childNamed(const std::string& title);
    // A current server timestamp, from a zero-length change of a root property; drops the events
    // read meanwhile.
    xcb_timestamp_t serverTime();
    // The number of windows in the root's _NET_CLIENT_LIST.
    size_t clientCount();

    xcb_atom_t activeWindowAtom = 0;
    xcb_atom_t clientListAtom = 0;

private:
    static Event translate(const xcb_generic_event_t* raw);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
};

} // namespace halvo::test
