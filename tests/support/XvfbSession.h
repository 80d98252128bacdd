// A private X server for one test or probe: Xvfb (or Xorg with the dummy driver) on a free
// display, a window manager, optional two monitors, and helpers to start real X clients and wait
// for observable state.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class XvfbSession {
public:
    struct Options {
        int width = 2560;
        int height = 1024;
        // Two side-by-side monitors: LEFT (primary) and RIGHT made with xrandr --setmonitor
        // under Xvfb; the outputs DUMMY0 (primary) and DUMMY1 under Xorg.
        bool twoMonitors = true;
        // Xorg with the dummy video driver instead of Xvfb: its monitors are real RandR outputs,
        // which GTK, xfwm4, marco and mutter see (Xvfb's RandR 1.5 monitors they do not). Its
        // configuration and log are kept in the session's folder.
        bool xorgDummy = false;
        // "openbox", "xfwm4", "fluxbox", "icewm", "i3", "awesome", "kwin_x11", "marco",
        // "mutter", "herbstluftwm", or "" for no window manager.
        std::string windowManager = "openbox";
        // Keep the window manager's own Control+Alt+arrow desktop bindings (they are dropped by
        // default).
        bool stockBindings = false;
        int desktops = 1;
        // Further openbox key bindings to drop, as rc.xml spells them ("A-Tab", "A-S-Tab"), so
        // another client can grab those keys.
        std::vector<std::string> droppedBindings{};
    };

    XvfbSession();
    explicit XvfbSession(Options options);
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // ":N"; also exported as DISPLAY for this process and every client it starts.
    const std::string& display() const { return m_display; }

    // Starts a client (argv[0] looked up on PATH). Output goes to /dev/null.
    pid_t spawn(const std::vector<std::string>& argv);
    // Runs `body` in a forked child process (its own process group, DISPLAY set) that exits with
    // what `body` returns; stopped like a spawned client. The child must open its own X
    // connection.
    pid_t forkClient(const std::function<int()>& body);
    // Sends SIGTERM (then SIGKILL) and reaps it.
    void kill(pid_t pid);

    // Runs a shell command against this display and returns its standard output.
    std::string run(const std::string& command) const;

    // Polls pred every 5 ms until it holds or `seconds` pass; returns whether it held. The default
    // deadline is generous: it only costs time when something is already wrong.
    static bool waitUntil(const std::function<bool()>& pred, double seconds = 15.0);

    // The first managed top-level window (from _NET_CLIENT_LIST) whose WM_CLASS class is
    // `wmClass`, waiting up to `seconds` for it; 0 when none appears.
    unsigned long waitForClientWindow(const std::string& wmClass, double seconds = 20.0) const;

    // _NET_ACTIVE_WINDOW of the root, 0 when none.
    unsigned long activeWindow() const;

    // The window manager's _NET_SUPPORTING_WM_CHECK window, 0 while no window manager runs (a
    // stale property left by one that died does not count).
    unsigned long windowManagerCheck() const;

    // The window manager's process (to stop it with SIGSTOP, as a window manager that ignores
    // requests), -1 when none runs.
    pid_t windowManagerPid() const { return m_windowManager; }

    // Ends the running window manager (if any) and starts `windowManager` in its place, with the
    // same configuration rules as at start. False, with error() set, when it did not come up.
    bool replaceWindowManager(const std::string& windowManager);

    // Replaces the GSettings keyfile that marco and mutter read (and watch) with `keyfile`; an
    // empty one gives every key its default.
    void writeGSettings(const std::string& keyfile) const;

    // Kills the X server itself (SIGKILL), as a crash would.
    void killServer();

    // Whether the session came up completely (server, window manager, monitors).
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

private:
    void start();
    pid_t startServer(int displayFd);
    std::string writeXorgConfig() const;
    bool makeTwoMonitors();
    void startWindowManager();
    std::vector<std::string> windowManagerCommand() const;
    std::string writeOpenboxConfig() const;
    std::string writeFluxboxConfig() const;
    std::string writeIcewmConfig() const;
    std::string writeXfwm4Config() const;
    std::string writeI3Config() const;
    std::string writeHerbstluftwmConfig() const;
    std::string writeGSettingsKeyfile() const;

    Options m_options;
    std::string m_display;
    std::string m_tempDir;
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::vector<pid_t> m_clients;
    bool m_ok = false;
    std::string m_error;
};

} // namespace halvo::test
