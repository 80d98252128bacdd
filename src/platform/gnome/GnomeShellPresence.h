// Whether GNOME Shell runs on the session bus, asked before Qt starts (Halvo chooses its session
// first): one call over GLib's D-Bus with a short wait.
#pragma once

namespace halvo {

class GnomeShellPresence {
public:
    static constexpr int timeoutMs = 1000;
    // True when the session bus (DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus) answers
    // that org.gnome.Shell has an owner.
    static bool onSessionBus();
};

} // namespace halvo
