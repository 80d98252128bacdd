// Extension checks; the window-manager check is window control's.
#include "platform/x11/X11Permissions.h"

#include "platform/Log.h"
#include "platform/WindowControl.h"
#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xinput.h>

namespace halvo {

X11Permissions::X11Permissions(X11Connection& connection, WindowControl& windowControl, Log& log)
    : m_connection(connection), m_windowControl(windowControl), m_log(log) {}

bool X11Permissions::isWindowManagerRunning() {
    return m_windowControl.isWindowManagerRunning();
}

bool X11Permissions::isWindowManagerRunningWithPrompt() {
    const bool trusted = isWindowManagerRunning();
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

bool X11Permissions::hasKeyboardAccess() {
    // A server's extensions do not change while we are connected to it.
    if (!m_keyboardAccess)
        m_keyboardAccess = readKeyboardAccess();
    return *m_keyboardAccess;
}

bool X11Permissions::readKeyboardAccess() {
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
