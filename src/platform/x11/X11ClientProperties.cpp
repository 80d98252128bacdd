// Per-window property values kept between client-list reads, dropped by PropertyNotify.
#include "platform/x11/X11ClientProperties.h"

#include "platform/x11/X11Connection.h"

#include <unordered_set>

namespace halvo {

X11ClientProperties::X11ClientProperties(X11Connection& connection)
    : pidAtom(connection.atom("_NET_WM_PID")), typeAtom(connection.atom("_NET_WM_WINDOW_TYPE")),
      stateAtom(connection.atom("_NET_WM_STATE")), wmStateAtom(connection.atom("WM_STATE")),
      desktopAtom(connection.atom("_NET_WM_DESKTOP")), iconAtom(connection.atom("_NET_WM_ICON")),
      skipTaskbarAtom(connection.atom("_NET_WM_STATE_SKIP_TASKBAR")),
      hiddenAtom(connection.atom("_NET_WM_STATE_HIDDEN")),
      fullScreenAtom(connection.atom("_NET_WM_STATE_FULLSCREEN")),
      maxVertAtom(connection.atom("_NET_WM_STATE_MAXIMIZED_VERT")),
      maxHorzAtom(connection.atom("_NET_WM_STATE_MAXIMIZED_HORZ")) {}

std::uint8_t X11ClientProperties::fieldOf(xcb_atom_t atom) const {
    if (atom == XCB_ATOM_WM_CLASS)
        return wmClassField;
    if (atom == pidAtom)
        return pidField;
    if (atom == typeAtom)
        return typeField;
    if (atom == stateAtom)
        return stateField;
    if (atom == wmStateAtom)
        return wmStateField;
    if (atom == desktopAtom)
        return desktopField;
    if (atom == iconAtom)
        return iconField;
    return 0;
}

void X11ClientProperties::note(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const auto found = m_windows.find(notify.window);
    const std::uint8_t field = fieldOf(notify.atom);
    if (found == m_windows.end() || field == 0)
        return;
    found->second.stale |= field;
    ++m_changes;
}

X11ClientProperties::Values& X11ClientProperties::entry(xcb_window_t window, bool& created) {
    const auto [found, inserted] = m_windows.try_emplace(window);
    created = inserted;
    return found->second;
}

void X11ClientProperties::keepOnly(const std::vector<std::uint32_t>& windows) {
    const std::unordered_set<std::uint32_t> listed(windows.begin(), windows.end());
    std::erase_if(m_windows, [&](const auto& entry) { return !listed.count(entry.first); });
}

} // namespace halvo
