// A private headless GNOME Shell for one test: two virtual monitors side by side (1280x720, then
// 1024x768), its own session and system buses, Halvo's extension installed and turned on before
// it starts, the overview hidden, and keys typed through mutter's remote desktop interface.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class GnomeShellSession {
public:
    struct Options {
        // GNOME binds Control+Alt+arrows to workspace switching: cleared unless kept.
        bool keepStockShortcuts = false;
        // Install and turn on Halvo's extension.
        bool withExtension = true;
    };

    // Keysyms the tests type.
    static constexpr unsigned controlL = 0xffe3;
    static constexpr unsigned altL = 0xffe9;
    static constexpr unsigned left = 0xff51;
    static constexpr unsigned up = 0xff52;
    static constexpr unsigned right = 0xff53;
    static constexpr unsigned down = 0xff54;

    GnomeShellSession();
    explicit GnomeShellSession(Options options);
    ~GnomeShellSession();
    GnomeShellSession(const GnomeShellSession&) = delete;
    GnomeShellSession& operator=(const GnomeShellSession&) = delete;

    // Whether the shell came up (with the extension running, when asked for); error() says what
    // failed, with the shell's last log lines.
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

    const std::string& busAddress() const { return m_busAddress; }
    // Absolute, so that a client of another user finds it without XDG_RUNTIME_DIR.
    const std::string& waylandDisplay() const { return m_waylandDisplay; }
    pid_t shellProcess() const { return m_shell; }
    // This test's connection to the session bus.
    QDBusConnection bus() const;

    // Starts a client as the session's user, with the session's environment.
    pid_t spawn(const std::vector<std::string>& argv);
    // A foot terminal with app id `appID`; waits until the extension lists its window and returns
    // the window's id.
    std::optional<std::uint64_t> startTerminal(const std::string& appID);

    // The extension's GetWindows and GetMonitors answers, parsed; null without an answer.
    nlohmann::json windows() const;
    nlohmann::json monitors() const;
    // Read from windows(): the focused window's app id, the first window of `appID`.
    std::string focusedApp() const;
    // The extension's GetMenuState answer (Halvo's top-bar button and its open menu), parsed.
    nlohmann::json menuState() const;
    // Opens Halvo's top-bar menu with a click on its button and clicks the row labelled `label`;
    // false when the button, the open menu or the row is not there.
    bool chooseFromMenu(const std::string& label);
    nlohmann::json windowOf(const std::string& appID) const;

    // A screenshot of the whole layout through the shell's Screenshot interface (which serves
    // the owner of org.gnome.Screenshot only: this test's connection takes that name); null
    // when the shell refuses.
    QImage screenshot();

    // Keys through org.gnome.Mutter.RemoteDesktop (its first key is dropped: a warm-up key is
    // sent when the session is made).
    bool press(unsigned keysym);
    bool release(unsigned keysym);
    bool tap(unsigned keysym) { return press(keysym) && release(keysym); }
    // The pointer through the same session: moved by relative steps until the shell reports it
    // at (x, y) in layout coordinates; the left button.
    bool movePointerTo(double x, double y);
    bool pressButton();
    bool releaseButton();

    // Polls pred every 10 ms until it holds or `seconds` pass.
    static bool waitUntil(const std::function<bool()>& pred, double seconds = 10.0);

private:
    void start();
    bool prepareFolder();
    bool installExtension();
    void writeSettings() const;
    void writeBusConfig(const std::string& path, const std::string& socket) const;
    pid_t startAsUser(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& logName);
    bool waitForShell();
    bool hideOverview();
    bool logContains(const std::string& text) const;
    bool key(unsigned keysym, bool pressed);
    bool remoteCall(const QString& method, const QVariantList& arguments);
    bool button(bool pressed);
    // The frame `find` picks from menuState() once it stops moving.
    std::optional<nlohmann::json>
    settledFrame(const std::function<nlohmann::json(const nlohmann::json&)>& find) const;
    std::vector<std::string> userEnvironment() const;
    void fail(const std::string& what);

    Options m_options;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::string m_folder;
    std::string m_runtimeDir;
    std::string m_home;
    std::string m_busAddress;
    std::string m_systemBusAddress;
    std::string m_waylandDisplay;
    std::string m_connectionName;
    std::vector<pid_t> m_processes; // buses and clients, ended in reverse
    pid_t m_shell = -1;
    std::string m_remoteSession; // the remote desktop session's object path
    int m_screenshots = 0;
    bool m_ok = false;
    std::string m_error;
};

} // namespace halvo::test
