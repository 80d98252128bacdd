// A private desktop for running the real program: an X session (two monitors and openbox unless
// told otherwise), real X clients at known places, an optional tray, a settings folder of its
// own, XTEST keys and pointer, one connection that reads and waits for what is shown, and the
// overlay's expected geometry. End-to-end and fault tests all run the program through it.
#pragma once

#include "support/DesktopWatcher.h"
#include "support/HalvoProgram.h"
#include "support/XTestKeyboard.h"
#include "support/XvfbSession.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace halvo::test {

class HalvoDesktop {
public:
    static constexpr int monitorWidth = 1280;
    static constexpr int monitorHeight = 1024;
    static constexpr int trayHeight = 28;

    struct Options {
        XvfbSession::Options session{};
        // trayer, docked at the bottom of the left monitor.
        bool tray = false;
    };

    struct Client {
        std::vector<std::string> argv;
        std::string wmClass;
    };
    // xterm and xlogo on the left monitor and xcalc and xedit on the right one.
    static const std::vector<Client> fourClients;
    // xterm and xlogo where the window manager puts them.
    static const std::vector<Client> twoClients;

    HalvoDesktop() : HalvoDesktop(Options{}) {}
    explicit HalvoDesktop(Options options);
    ~HalvoDesktop();

    // Whether the session came up (and, after startClients, its clients); error() says why not.
    bool ok() const { return m_session->ok() && m_error.empty(); }
    std::string error() const { return m_session->ok() ? m_error : m_session->error(); }

    XvfbSession& session() { return *m_session; }
    DesktopWatcher& watcher() { return *m_watcher; }
    XTestKeyboard& keyboard() { return *m_keyboard; }
    const std::string& configHome() const { return m_configHome; }
    std::string settingsPath() const { return m_configHome + "/halvo/defaults.json"; }

    // Starts `clients` in that order, each once the one before it has the focus; returns whether
    // all are managed and each had the focus after its start (so the last one has it).
    bool startClients(const std::vector<Client>& clients = fourClients);
    // The managed window of a started client, 0 when none.
    xcb_window_t client(const std::string& wmClass) const;
    // Makes the client of `wmClass` the active window and waits for it.
    bool activate(const std::string& wmClass);

    void writeSettings(const std::string& text) const;
    // The settings file parsed; null when missing or not JSON.
    nlohmann::json settings() const;

    // Starts halvo and waits until it has registered its shortcut and built its overlay (or
    // ended); started() tells which.
    std::unique_ptr<HalvoProgram> startHalvo(std::vector<std::string> arguments = {},
                                             const HalvoProgram::Environment& environment = {});
    bool started(HalvoProgram& halvo) { return halvo.running() && overlayBuilt(); }
    bool overlayBuilt() { return m_watcher->halvoWindowNamed("Halvo overlay").has_value(); }
    // Waits for the overlay to be mapped (or unmapped).
    bool waitForOverlay(bool visible, double seconds = 15.0);
    bool waitForActive(const std::string& wmClass, double seconds = 15.0);
    bool waitForActive(xcb_window_t window, double seconds = 15.0);

    // Control+Alt held until releaseCombination().
    void holdCombination();
    void releaseCombination();
    // One whole switch: hold, wait for the overlay, Right, release; true when another of the
    // started clients became active and the overlay went away.
    bool switchOnce(double seconds = 5);

    // The overlay's frame for `apps` apps on the monitor starting at `monitorX` whose visible
    // area ends `bottomInset` pixels above the monitor's bottom.
    static WindowFrame expectedOverlay(int apps, int monitorX, int bottomInset);
    // The centre of icon cell `index` of an overlay showing `apps` apps without paging.
    static std::pair<int, int> cellCentre(const WindowFrame& overlay, int apps, int index);

private:
    std::unique_ptr<XvfbSession> m_session;
    std::unique_ptr<DesktopWatcher> m_watcher;
    std::unique_ptr<XTestKeyboard> m_keyboard;
    std::string m_configHome;
    std::vector<xcb_window_t> m_clients;
    std::string m_error;
};

} // namespace halvo::test
