// A private desktop for running the real program: Xvfb with two monitors and openbox, real X
// clients at known places, an optional tray, a settings folder of its own, XTEST keys and
// pointer, and the overlay's expected geometry.
#pragma once

#include "e2e/DesktopReader.h"
#include "e2e/HalvoProcess.h"
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

    // Starts the session; `tray` adds trayer, docked at the bottom of the left monitor.
    explicit HalvoDesktop(bool tray = false);
    ~HalvoDesktop();

    XvfbSession& session() { return *m_session; }
    DesktopReader& reader() { return *m_reader; }
    XTestKeyboard& keyboard() { return *m_keyboard; }
    const std::string& configHome() const { return m_configHome; }
    std::string settingsPath() const { return m_configHome + "/halvo/defaults.json"; }

    // Starts xterm and xlogo on the left monitor and xcalc and xedit on the right one, in that
    // order; returns whether all four are managed.
    bool startClients();
    // Makes the client of `wmClass` the active window and waits for it.
    bool activate(const std::string& wmClass);

    void writeSettings(const std::string& text) const;
    // The settings file parsed; null when missing or not JSON.
    nlohmann::json settings() const;

    // Starts halvo and waits until it has registered its shortcut and built its overlay.
    std::unique_ptr<HalvoProcess> startHalvo(std::vector<std::string> arguments = {},
                                             const HalvoProcess::Environment& environment = {});
    // Waits for the overlay to be mapped (or unmapped).
    bool waitForOverlay(bool visible, double seconds = 15.0);
    bool waitForActive(const std::string& wmClass, double seconds = 15.0);

    // The overlay's frame for `apps` apps on the monitor starting at `monitorX` whose visible
    // area ends `bottomInset` pixels above the monitor's bottom.
    static WindowFrame expectedOverlay(int apps, int monitorX, int bottomInset);
    // The centre of icon cell `index` of an overlay showing `apps` apps without paging.
    static std::pair<int, int> cellCentre(const WindowFrame& overlay, int apps, int index);

private:
    std::unique_ptr<XvfbSession> m_session;
    std::unique_ptr<DesktopReader> m_reader;
    std::unique_ptr<XTestKeyboard> m_keyboard;
    std::string m_configHome;
};

} // namespace halvo::test
