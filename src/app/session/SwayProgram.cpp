// The sway backends wired into the program, and the lost-compositor handling.
#include "app/session/SwayProgram.h"

#include "app/session/LayerOverlayFactory.h"
#include "app/session/ProgramShell.h"
#include "platform/Log.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/sway/SwayHotkeyRegistrar.h"
#include "platform/sway/SwayIpcEvents.h"
#include "platform/sway/SwayIpcPool.h"
#include "platform/sway/SwayPermissions.h"
#include "platform/sway/SwayScreens.h"
#include "platform/sway/SwayTrayTint.h"
#include "platform/sway/SwayTreeCache.h"
#include "platform/sway/SwayWindowControl.h"
#include "platform/sway/SwayWorkspace.h"
#include "platform/wayland/CompositorLossReport.h"
#include "platform/wayland/LayerKeyboardMonitor.h"
#include "platform/wayland/WaylandConnection.h"

#include <QCoreApplication>
#include <memory>
#include <string>
#include <unistd.h>

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
    // Preferences, About and the tray menu are Wayland windows of sway's, not XWayland's. Only
    // for Halvo's own Qt: the apps it starts get the environment it was given.
    const bool choosePlatform = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (choosePlatform)
        qputenv("QT_QPA_PLATFORM", "wayland");
    // Qt asks whether its own window decorations are supported the first time it paints any
    // window, the overlay's hidden host included, and to answer it loads the EGL client buffer
    // integration: Mesa and LLVM, about 50 MiB resident, though Halvo draws nothing with GL.
    // sway decorates Preferences and About itself (server-side decorations), so nothing is
    // lost. Qt reads the variable lazily: it stays set, and the programs Halvo opens URLs with
    // inherit it, with the same effect on sway.
    if (qEnvironmentVariableIsEmpty("QT_WAYLAND_DISABLE_WINDOWDECORATION"))
        qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
    CompositorLossReport::watchQt();
    ProgramShell shell(argc, argv, log);
    if (choosePlatform)
        qunsetenv("QT_QPA_PLATFORM");
    if (const auto status =
            shell.claimInstance(qEnvironmentVariable("WAYLAND_DISPLAY"), openPreferences))
        return *status;

    WaylandConnection wayland;
    if (!wayland.ok()) {
        log.write("Halvo: " + wayland.error());
        return 1;
    }
    QObject::connect(&wayland, &WaylandConnection::connectionLost, &shell.app(), quitForLostSway);
    // sway 1.7 refuses a subscription to output events: the screens subscribe to them apart.
    SwayIpcEvents events(socket, {"window", "workspace", "shutdown"}, &log);
    if (!events.ok()) {
        log.write("Halvo: cannot subscribe to sway's events: " + events.error());
        return 1;
    }
    events.onLost(quitForLostSway);
    // sway says it is exiting before it closes the socket.
    events.on("shutdown", [](const nlohmann::json&) { quitForLostSway(); });

    const ProcessID ownPid = static_cast<ProcessID>(getpid());
    const DesktopEntryIndex desktopEntries;
    SwayIpcPool pool(socket);
    SwayTreeCache tree(pool, events, ownPid);
    SwayWorkspace workspace(pool, events, tree);
    workspace.setDesktopEntries(SwayWorkspace::DesktopEntries::installed(desktopEntries));
    SwayWindowControl windowControl(pool, tree);
    SwayScreens screens(pool, events);
    LayerKeyboardMonitor eventMonitor(wayland);
    SwayHotkeyRegistrar hotkeyRegistrar(socket, eventMonitor,
                                        SwayHotkeyRegistrar::defaultRecordPath(), log);
    SwayPermissions permissions(windowControl, hotkeyRegistrar, wayland, log);
    CanberraSystemSound sound;

    SessionBackends backends{workspace,
                             windowControl,
                             screens,
                             hotkeyRegistrar,
                             eventMonitor,
                             sound,
                             permissions,
                             layerOverlayFactory(wayland, screens),
                             PermissionHelp::Session::sway,
                             SwayTrayTint::query(socket)};
    return shell.run(std::move(backends), openPreferences,
                     [](int status) { return CompositorLossReport::reported() ? 1 : status; });
}

} // namespace halvo
