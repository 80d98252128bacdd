// The composition root of Halvo in a KDE Plasma (Wayland) session: Halvo's script inside KWin
// and its D-Bus service, KGlobalAccel for the shortcut, Halvo's own Wayland connection for the
// overlay's and the keyboard hold's layer surfaces, and the KWin backends around the shared
// program.
#pragma once

namespace halvo {

class Log;

class KWinProgram {
public:
    // Runs Halvo in the Plasma session WAYLAND_DISPLAY and the session bus name, and returns the
    // exit status: 1 when KWin is not on the session bus or does not run Halvo's script, or
    // when KWin goes away while Halvo runs ("Lost the connection to KWin").
    static int run(int& argc, char** argv, bool openPreferences, Log& log);
};

} // namespace halvo
