// Reports once that sway went away, whichever connection notices first: the IPC socket, Halvo's
// own Wayland connection, or Qt's, whose warning about it ends the process here with status 1
// (Qt would end it right after, without unwinding main, with a status that differs between its
// releases).
#pragma once

namespace halvo {

class CompositorLossReport {
public:
    // Routes Qt's warning about a broken Wayland connection here; Qt's other messages go where
    // they went before. Once per process.
    static void watchQt();
    // Writes "Halvo: Lost the connection to sway; quitting." to standard error, the first time.
    // Safe from any thread.
    static void report();
    static bool reported();
};

} // namespace halvo
