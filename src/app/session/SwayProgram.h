// The composition root of Halvo in a sway session: sway's IPC, Halvo's own Wayland connection for
// the overlay's layer surface, and the sway backends around the shared program.
#pragma once

namespace halvo {

class Log;

class SwayProgram {
public:
    // Runs Halvo in the sway session SWAYSOCK and WAYLAND_DISPLAY name and returns the exit
    // status: 1 when sway's IPC does not answer, or when sway goes away while Halvo runs ("Lost
    // the connection to sway").
    static int run(int& argc, char** argv, bool openPreferences, Log& log);
};

} // namespace halvo
