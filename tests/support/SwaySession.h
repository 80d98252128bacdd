// A private headless sway for one test or probe: two 1280x1024 outputs side by side, real
// Wayland clients, swaymsg to drive and read it, grim for screenshots.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class SwaySession {
public:
    struct Options {
        // A second output, HEADLESS-2, right of HEADLESS-1 (made with `swaymsg create_output`).
        bool twoOutputs = true;
        int outputWidth = 1280;
        int outputHeight = 1024;
        // Appended to the session's configuration.
        std::string extraConfig{};
    };

    SwaySession();
    explicit SwaySession(Options options);
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    // Whether sway came up with all its outputs; error() says what failed (with sway's last log
    // lines) when not.
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

    // The IPC socket and the Wayland socket, as absolute paths (libwayland takes an absolute
    // WAYLAND_DISPLAY as is, without XDG_RUNTIME_DIR).
    const std::string& swaySocket() const { return m_swaySocket; }
    const std::string& waylandDisplay() const { return m_waylandDisplay; }
    // Exports both to this process as SWAYSOCK and WAYLAND_DISPLAY, so that its own Wayland
    // clients (Qt, test clients) connect to this session.
    void exportEnvironment() const;
    pid_t swayProcess() const { return m_sway; }
    // The session's private folder: configuration, sway's log, screenshots.
    const std::string& folder() const { return m_folder; }

    // Starts a client as the session's user (argv[0] looked up on PATH), with the session's
    // environment plus `environment` ("NAME=value"). Output goes to /dev/null unless
    // HALVO_TEST_VERBOSE is set.
    pid_t spawn(const std::vector<std::string>& argv,
                const std::vector<std::string>& environment = {});
    // Sends SIGTERM (then SIGKILL) to the client's process group and reaps it.
    void kill(pid_t pid);

    // Runs one sway command (`swaymsg COMMAND`); true when every part of it succeeded.
    bool command(const std::string& command) const;
    // The parsed reply of a message of another type ("get_tree", "get_outputs", "send_tick" with
    // a payload); null on failure.
    nlohmann::json query(const std::string& type, const std::string& payload = "") const;

    // The con_id of the first window whose app_id is `appID`, waiting up to `seconds` for it.
    std::optional<long> waitForWindow(const std::string& appID, double seconds = 20.0) const;

    // Takes a PNG screenshot of the whole layout, or of one output, with grim.
    bool screenshot(const std::string& path, const std::string& output = "") const;

    // Polls pred every 5 ms until it holds or `seconds` pass; returns whether it held.
    static bool waitUntil(const std::function<bool()>& pred, double seconds = 15.0);

private:
    void start();
    bool prepareFolder();
    std::string writeConfig() const;
    bool waitForSockets();
    bool addSecondOutput();
    std::vector<std::string> clientEnvironment(const std::vector<std::string>& extra) const;
    void fail(const std::string& what);

    Options m_options;
    // The unprivileged user sway runs as when this process is root (sway refuses to run as
    // root); otherwise this process's own user.
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::string m_folder;
    std::string m_runtimeDir;
    std::string m_home;
    std::string m_swaySocket;
    std::string m_waylandDisplay;
    std::string m_waylandName;
    pid_t m_sway = -1;
    std::vector<pid_t> m_clients;
    bool m_ok = false;
    std::string m_error;
};

} // namespace halvo::test
