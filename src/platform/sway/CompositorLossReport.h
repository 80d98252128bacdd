// Reports once that sway went away, whichever connection notices first: the IPC socket, Halvo's
// own Wayland connection, or Qt's, which ends the process itself (with status 1, right after its
// warning) without unwinding main.
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
