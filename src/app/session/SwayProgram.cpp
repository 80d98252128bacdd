// The sway backends wired into the program, and the lost-compositor handling.
#include "app/session/SwayProgram.h"

#include "app/session/ProgramShell.h"
#include "platform/Log.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/sway/CompositorLossReport.h"
#include "platform/sway/SwayIpcEvents.h"
#include "platform/sway/WaylandConnection.h"

#include <QCoreApplication>
#include <memory>
#include <string>

namespace halvo {
namespace {

// Whether sway's IPC answers at `socket`; `error` says why not.
bool swayAnswers(const std::string& socket, std::string& error) {
    try {
        I3IpcClient client(socket);
        client.outputs();
        return true;
    } catch (const I3IpcError& e) {
        error = e.what();
        return false;
    }
}

void quitForLostSway() {
    CompositorLossReport::report();
    QCoreApplication::exit(1);
}

} // namespace

int SwayProgram::run(int& argc, char** argv, bool openPreferences, Log& log) {
    const std::string socket = qEnvironmentVariable("SWAYSOCK").toStdString();
    std::string error;
    if (!swayAnswers(socket, error)) {
        log.write("Halvo: cannot reach sway's IPC socket at SWAYSOCK=\"" + socket + "\" (" + error +
                  "). Start Halvo from inside your sway session.");
        return 1;
    }
    // Preferences, About and the tray menu are Wayland windows of sway's, not XWayland's.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    CompositorLossReport::watchQt();
    ProgramShell shell(argc, argv, log);
    if (const auto status =
            shell.claimInstance(qEnvironmentVariable("WAYLAND_DISPLAY"), openPreferences))
        return *status;

    WaylandConnection wayland;
    if (!wayland.ok()) {
        log.write("Halvo: " + wayland.error());
        return 1;
    }
    QObject::connect(&wayland, &WaylandConnection::connectionLost, &shell.app(), quitForLostSway);
    SwayIpcEvents events(socket, {"window", "workspace", "output", "binding", "shutdown"}, &log);
    if (!events.ok()) {
        log.write("Halvo: cannot subscribe to sway's events: " + events.error());
        return 1;
    }
    events.onLost(quitForLostSway);

    log.write("Halvo: switching on sway is not built yet (its window, screen and shortcut "
              "services are missing); quitting.");
    return 1;
}

} // namespace halvo
