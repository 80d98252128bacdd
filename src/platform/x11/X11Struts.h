// The struts of the docks and panels on the screen, kept from one read to the next: those of every
// mapped child of the root (docks that no window manager lists, such as i3bar or awesome's wibar)
// and of every managed client window (inside its frame under a reparenting window manager).
#pragma once

#include "platform/x11/X11Connection.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace halvo {

class X11Struts {
public:
    // Construct on the thread that dispatches the connection's events: from then on the root's
    // structure events and the windows' property events tell which windows to ask again.
    explicit X11Struts(X11Connection& connection);
    ~X11Struts();
    X11Struts(const X11Struts&) = delete;
    X11Struts& operator=(const X11Struts&) = delete;

    // The twelve _NET_WM_STRUT_PARTIAL values of each window that reserves space, as of the events
    // dispatched so far. Any thread; asks only about windows that are new or changed since the
    // last read (all requests sent before any reply is awaited).
    std::vector<std::vector<std::uint32_t>> read();

    // How many windows had their struts fetched so far; for tests and probes.
    std::size_t fetches() const;

private:
    struct Window {
        bool rootChild = false; // a child of the root: counts while mapped
        bool client = false;    // in _NET_CLIENT_LIST: counts whatever its map state
        bool mapped = false;
        bool mapKnown = true; // false for a window reparented to the root, until asked
        bool fetched = false; // `strut` holds the window's current properties
        bool watched = false; // its property events are selected
        std::optional<std::vector<std::uint32_t>> strut;
    };

    void handleEvent(const xcb_generic_event_t& event);
    // Reads the root's children, the client list and map states that are not known yet.
    void readStructure();
    // Fetches the struts of the windows that count and are not fetched yet.
    void fetchStruts();
    bool counts(const Window& window) const {
        return window.client || (window.rootChild && window.mapped);
    }

    X11Connection& m_connection;
    X11Connection::ListenerID m_listener = 0;
    xcb_atom_t m_partialAtom = XCB_ATOM_NONE;
    xcb_atom_t m_strutAtom = XCB_ATOM_NONE;
    xcb_atom_t m_clientListAtom = XCB_ATOM_NONE;

    mutable std::mutex m_mutex;
    bool m_treeKnown = false;
    bool m_clientsKnown = false;
    std::unordered_map<xcb_window_t, Window> m_windows;
    std::size_t m_fetches = 0;
};

} // namespace halvo
