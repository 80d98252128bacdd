// The halvo program in a private headless sway (two outputs side by side), with foot terminals as
// its apps, a virtual keyboard and pointer, and what a test reads back: sway's tree and grim's
// screenshots.
#pragma once

#include "support/HalvoProgram.h"
#include "support/SwaySession.h"
#include "support/sway/SwayVirtualKeyboard.h"
#include "support/sway/SwayVirtualPointer.h"

#include <QImage>
#include <QRect>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvo::test {

class SwayHalvo {
public:
    static constexpr int outputWidth = 1280;
    static constexpr int outputHeight = 800;

    // `extraConfig` is appended to sway's configuration (a binding that takes Halvo's shortcut).
    explicit SwayHalvo(const std::string& extraConfig = "");
    ~SwayHalvo();

    SwaySession& session() { return *m_session; }
    // Halvo's XDG_CONFIG_HOME, also its XDG_RUNTIME_DIR (where its binding record goes).
    const std::string& configHome() const { return m_configHome; }
    // The order Halvo finds stored when it starts (app ids).
    void storeOrder(const std::vector<std::string>& appIDs);
    // The order stored now; empty when the settings file holds none.
    std::vector<std::string> storedOrder() const;
    // A foot terminal with app id `appID` on `output`; waits until sway shows it.
    bool startApp(const std::string& appID, const std::string& output, bool floating = false);
    // Starts the program; true once its shortcut is bound in sway (at once without waiting).
    // `swaySocket` stands in for sway's IPC socket (a tap in front of it).
    bool startHalvo(bool waitForShortcut = true, const std::string& swaySocket = {});
    HalvoProgram& halvo() { return *m_halvo; }

    SwayVirtualKeyboard& keyboard() { return *m_keyboard; }
    SwayVirtualPointer& pointer() { return *m_pointer; }

    // Read from sway's tree: the app id of the focused window, the output a window of `appID`
    // is on, the focused window's fullscreen_mode.
    std::string focusedApp() const;
    std::string outputOf(const std::string& appID) const;
    int focusedFullScreenMode() const;

    // Takes both outputs' look now, for changedArea.
    void rememberScreens();
    // Where the lower half of the output (where the overlay is anchored) differs from its
    // remembered look, in the output's pixels; empty when nothing differs. Windows have no
    // borders here, so a change of focus alone changes nothing there.
    QRect changedArea(const std::string& output) const;

    static bool waitUntil(const std::function<bool()>& pred, double seconds = 10.0);

private:
    QImage screenshot(const std::string& output, const std::string& name) const;

    std::unique_ptr<SwaySession> m_session;
    std::string m_configHome;
    std::unique_ptr<SwayVirtualKeyboard> m_keyboard;
    std::unique_ptr<SwayVirtualPointer> m_pointer;
    std::unique_ptr<HalvoProgram> m_halvo;
    QImage m_bare[2];
};

} // namespace halvo::test
