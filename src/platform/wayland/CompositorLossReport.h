// Reports once that the compositor (sway, GNOME Shell, KWin) went away, whichever connection
// notices first: its IPC socket or bus name, Halvo's own Wayland connection, or Qt's, whose warning
// about it ends the process here with status 1 (Qt would end it right after, without unwinding
// main, with a status that differs between its releases).
#pragma once

namespace halvo {

class CompositorLossReport {
public:
    // Routes Qt's warning about a broken Wayland connection here; Qt's other messages go where
    // they went before. Once per process.
    static void watchQt();
    // Names the compositor in the message ("sway" unless set); a string that lives for the whole
    // process. Before anything may report.
    static void setCompositorName(const char* name);
    // Writes "Halvo: Lost the connection to NAME; quitting." to standard error, the first time.
    // Safe from any thread.
    static void report();
    static bool reported();
};

} // namespace halvo
