// What X11ClientList reads of each managed client window, kept between reads on the connection
// that hears the windows' property changes: a window is watched before its first read, and each
// PropertyNotify the connection takes in drops the one value it concerns. A read after a change
// then asks only for what changed, instead of eight requests for every window.
#pragma once

#include "platform/RunningApplication.h"
#include "platform/x11/X11WindowType.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>
#include <xcb/xcb.h>

namespace halvo {

class X11Connection;

class X11ClientProperties {
public:
    // What a read may need of a window; a set of these marks what is stale.
    enum Field : std::uint8_t {
        wmClassField = 1,
        pidField = 2,
        typeField = 4,
        stateField = 8,
        wmStateField = 16,
        desktopField = 32,
        iconField = 64,
        clientField = 128, // the X-Resource client pid: never changes for a window
        allFields = 0xFF,
    };

    // The values as read, already decoded.
    struct Values {
        std::string wmClass;
        std::string wmInstance;
        ProcessID netPid = 0;
        ProcessID clientPid = 0;
        X11WindowType::Kind kind = X11WindowType::Kind::normal;
        bool skipTaskbar = false;
        bool hiddenState = false;
        bool fullScreen = false;
        bool maximizedVertically = false;
        bool maximizedHorizontally = false;
        bool iconicWmState = false;
        std::uint32_t desktopIndex = 0xFFFFFFFF;
        std::uint32_t iconLength = 0;
        std::uint8_t stale = allFields;
    };

    // Interns the atoms it tells changes by.
    explicit X11ClientProperties(X11Connection& connection);

    // The field a change of `atom` on a client window makes stale; 0 for one no read asks for.
    std::uint8_t fieldOf(xcb_atom_t atom) const;
    // Drops what a PropertyNotify says changed; other events change nothing.
    void note(const xcb_generic_event_t& event);
    // How many times note() dropped a kept value: while it stays the same, a list made from
    // these values is as current as the events taken in.
    std::uint64_t changes() const { return m_changes; }

    bool contains(xcb_window_t window) const { return m_windows.count(window) != 0; }
    // The window's entry; a new one (`created` set) has every field stale.
    Values& entry(xcb_window_t window, bool& created);
    // Forgets every window not in `windows` (the current client list).
    void keepOnly(const std::vector<std::uint32_t>& windows);

    xcb_atom_t pidAtom, typeAtom, stateAtom, wmStateAtom, desktopAtom, iconAtom;
    xcb_atom_t skipTaskbarAtom, hiddenAtom, fullScreenAtom, maxVertAtom, maxHorzAtom;

private:
    std::unordered_map<xcb_window_t, Values> m_windows;
    std::uint64_t m_changes = 0;
};

} // namespace halvo
