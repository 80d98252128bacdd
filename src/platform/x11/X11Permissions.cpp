// Window-manager and extension checks.
#include "platform/x11/X11Permissions.h"

#include "platform/Log.h"
#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xinput.h>

namespace halvo {

X11Permissions::X11Permissions(X11Connection& connection, Log& log)
    : m_connection(connection), m_log(log) {}

bool X11Permissions::isAccessibilityTrusted() {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    if (!ewmh->connection)
        return false;
    // A window manager is running when _NET_SUPPORTING_WM_CHECK names a window that names itself.
    xcb_window_t check = XCB_NONE;
    if (!xcb_ewmh_get_supporting_wm_check_reply(
            ewmh, xcb_ewmh_get_supporting_wm_check(ewmh, m_connection.root()), &check, nullptr))
        return false;
    xcb_window_t self = XCB_NONE;
    if (!xcb_ewmh_get_supporting_wm_check_reply(ewmh, xcb_ewmh_get_supporting_wm_check(ewmh, check),
                                                &self, nullptr) ||
        self != check)
        return false;
    xcb_ewmh_get_atoms_reply_t supported;
    if (!xcb_ewmh_get_supported_reply(
            ewmh, xcb_ewmh_get_supported(ewmh, m_connection.screenNumber()), &supported, nullptr))
        return false;
    bool active = false;
    bool clients = false;
    for (uint32_t i = 0; i < supported.atoms_len; ++i) {
        active = active || supported.atoms[i] == ewmh->_NET_ACTIVE_WINDOW;
        clients = clients || supported.atoms[i] == ewmh->_NET_CLIENT_LIST;
    }
    xcb_ewmh_get_atoms_reply_wipe(&supported);
    return active && clients;
}

bool X11Permissions::isAccessibilityTrustedWithPrompt() {
    const bool trusted = isAccessibilityTrusted();
    if (!trusted)
        m_log.write("Halvo: No window manager with EWMH support is running; switching needs one "
                    "(openbox, xfwm4, KWin, Mutter, i3...). Start one and Halvo picks it up.");
    return trusted;
}

bool X11Permissions::hasExtension(const char* name) {
    xcb_connection_t* c = m_connection.xcb();
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
        c, xcb_query_extension(c, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const bool present = reply && reply->present;
    free(reply);
    return present;
}

bool X11Permissions::isInputMonitoringGranted() {
    if (hasExtension("XWAYLAND"))
        return false;
    if (!hasExtension("XKEYBOARD") || !hasExtension("XInputExtension"))
        return false;
    xcb_connection_t* c = m_connection.xcb();
    // The server answers BadValue when a client asks for a lower version than it asked before:
    // ask for the version the event monitor asks for on this connection.
    xcb_input_xi_query_version_reply_t* version =
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr);
    const bool xi2 = version && (version->major_version > 2 ||
                                 (version->major_version == 2 && version->minor_version >= 2));
    free(version);
    return xi2;
}

} // namespace halvo
