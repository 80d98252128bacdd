// A private headless KWin for one test: two 1280x800 virtual outputs side by side (Virtual-0 at
// 0,0 and Virtual-1 at 1280,0), its own session bus, fake input allowed (a test-only setting), Qt
// 6 programs as its clients, and what a test reads back: KWin's own view of the windows, through
// a test script that prints it to KWin's log.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class KWinSession {
public:
    static constexpr int outputWidth = 1280;
    static constexpr int outputHeight = 800;

    // A window as KWin itself sees it.
    struct Window {
        pid_t pid = 0;
        std::string appKey; // the desktop file name, else the resource class
        int x = 0, y = 0, width = 0, height = 0;
        bool fullScreen = false;
        bool active = false;
        bool minimized = false;
        bool managed = false; // a window KWin manages (KWin 5.27 counts layer surfaces too)
        int stack = 0;        // KWin's stacking order: higher is above
    };

    KWinSession();
    ~KWinSession();
    KWinSession(const KWinSession&) = delete;
    KWinSession& operator=(const KWinSession&) = delete;

    // Whether KWin came up and owns org.kde.KWin; error() says what failed (with KWin's last log
    // lines) when not.
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

    // The Wayland socket as an absolute path, and the session bus's address.
    const std::string& waylandDisplay() const { return m_waylandDisplay; }
    const std::string& busAddress() const { return m_busAddress; }
    const std::string& folder() const { return m_folder; }
    pid_t kwinProcess() const { return m_kwin; }
    // The variables a client of this session needs ("NAME=value"): the Wayland socket, the
    // bus, the runtime folder, Qt on Wayland.
    std::vector<std::string> clientEnvironment() const;
    // Sets them in this process, for its own Wayland clients.
    void exportEnvironment() const;

    // Starts a client with the session's environment plus `environment`.
    pid_t spawn(const std::vector<std::string>& argv,
                const std::vector<std::string>& environment = {});
    // Ends KWin (SIGTERM, then SIGKILL) and its bus.
    void stopKWin();

    // KWin's windows and surfaces of other processes than this one, read with a test script;
    // nothing when KWin did not answer.
    std::optional<std::vector<Window>> windows() const;
    // The first window of `appKey`, waiting up to `seconds` for KWin to list it.
    std::optional<Window> waitForWindow(const std::string& appKey, double seconds = 20) const;
    // Places the first window of `appKey` with its top-left corner at (x, y) and activates it,
    // through a test script.
    bool placeAndActivate(const std::string& appKey, int x, int y) const;
    // Whether `pid` has a surface of any kind (layer surfaces too) that KWin lists.
    bool hasSurfaces(pid_t pid) const;
    // Runs `source` as a KWin script once; true when KWin took it.
    bool runScript(const std::string& source) const;
    // What KWin wrote to its log so far.
    std::string log() const;

    static bool waitUntil(const std::function<bool()>& pred, double seconds = 15.0);

private:
    void start();
    bool busCall(const std::vector<std::string>& arguments) const;
    void fail(const std::string& what);

    std::string m_folder;
    std::string m_runtimeDir;
    std::string m_waylandDisplay;
    std::string m_busAddress;
    pid_t m_bus = -1;
    pid_t m_kwin = -1;
    std::vector<pid_t> m_clients;
    bool m_ok = false;
    std::string m_error;
    mutable int m_scripts = 0;
};

} // namespace halvo::test
