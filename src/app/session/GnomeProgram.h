// The composition root of Halvo in a GNOME Shell (Wayland) session: Halvo's shell extension over
// D-Bus for windows, monitors and keys, and the GNOME backends around the shared program.
#pragma once

#include "app/SessionChoice.h"

namespace halvo {

class Log;

class GnomeProgram {
public:
    // GNOME's session: XDG_CURRENT_DESKTOP names GNOME and GNOME Shell is on the session bus.
    static bool recognises(const SessionChoice::Environment& environment);

    // Runs Halvo in the GNOME Shell session of its environment and returns the exit status: 1,
    // with one sentence saying what to do, when Halvo's extension cannot serve it, and when GNOME
    // Shell goes away while Halvo runs ("Lost the connection to GNOME Shell").
    static int run(int& argc, char** argv, bool openPreferences, Log& log);
};

} // namespace halvo
