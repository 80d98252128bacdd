// What the X11 and the sway program share around their backends: the Qt application, one Halvo
// per user and display, translations, SIGINT/SIGTERM, the settings file, autostart, and the
// controller with its tray, Preferences and About.
#pragma once

#include "app/session/SessionBackends.h"
#include "platform/Log.h"
#include "platform/linux/IconThemeFallback.h"
#include "platform/linux/SingleInstance.h"

#include <QApplication>
#include <functional>
#include <memory>
#include <optional>

namespace halvo {

class ProgramShell {
public:
    // Creates the Qt application (on the session's platform: Qt picks xcb or wayland from the
    // same environment the session was chosen from).
    ProgramShell(int& argc, char** argv, Log& log);
    ~ProgramShell();
    ProgramShell(const ProgramShell&) = delete;
    ProgramShell& operator=(const ProgramShell&) = delete;

    QApplication& app() { return *m_app; }

    // Hands "halvo --preferences" to a Halvo already running on `display` and returns the exit
    // status of this launch (0 when it only asked for Preferences, 1 otherwise); nothing when
    // this is the only Halvo there, which then listens for later launches, loads its
    // translations and quits on SIGINT and SIGTERM.
    std::optional<int> claimInstance(const QString& display, bool openPreferences);

    // Builds the controller on `backends` and runs the event loop. `afterLoop` turns the loop's
    // status into the program's (a session that lost its compositor reports it there) before
    // the controller stops. In idle mode (HALVO_NO_CONTROLLER) nothing is built: no tray, no
    // hot keys, no settings read or written.
    int run(SessionBackends backends, bool openPreferences,
            const std::function<int(int status)>& afterLoop);

private:
    Log& m_log;
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<IconThemeFallback> m_iconFallback;
    std::unique_ptr<SingleInstance> m_instance;
};

} // namespace halvo
