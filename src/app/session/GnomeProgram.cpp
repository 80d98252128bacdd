// The GNOME backends wired into the program, and the lost-shell handling.
#include "app/session/GnomeProgram.h"

#include "app/session/ProgramShell.h"
#include "minimap/view/MinimapOverlayView.h"
#include "platform/Log.h"
#include "platform/gnome/GdkLossWatch.h"
#include "platform/gnome/GnomeEventMonitor.h"
#include "platform/gnome/GnomeHotkeyRegistrar.h"
#include "platform/gnome/GnomeOverlayPanel.h"
#include "platform/gnome/GnomePermissions.h"
#include "platform/gnome/GnomeScreens.h"
#include "platform/gnome/GnomeShellClient.h"
#include "platform/gnome/GnomeShellPresence.h"
#include "platform/gnome/GnomeStatusItem.h"
#include "platform/gnome/GnomeWindowControl.h"
#include "platform/gnome/GnomeWorkspace.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/wayland/CompositorLossReport.h"

#include <QCoreApplication>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace halvo {
namespace {

// GDK's connection may notice first, and ends the process right after saying so.
[[noreturn]] void exitForLostShell() {
    CompositorLossReport::report();
    ::_exit(1);
}

void quitForLostShell() {
    CompositorLossReport::report();
    QCoreApplication::exit(1);
}

bool namesGnome(const std::string& desktops) {
    std::istringstream list(desktops);
    for (std::string name; std::getline(list, name, ':');) {
        if (name == "GNOME")
            return true;
    }
    return false;
}

} // namespace

bool GnomeProgram::recognises(const SessionChoice::Environment& environment) {
    return namesGnome(environment("XDG_CURRENT_DESKTOP").value_or("")) &&
           GnomeShellPresence::onSessionBus();
}

int GnomeProgram::run(int& argc, char** argv, bool openPreferences, Log& log) {
    CompositorLossReport::setCompositorName("GNOME Shell");
    // Qt's Wayland connection, or the GDK one of Qt's GTK theme, may be the first to notice that
    // the shell is gone.
    CompositorLossReport::watchQt();
    GdkLossWatch::install(exitForLostShell);
    ProgramShell shell(argc, argv, log);
    if (const auto status =
            shell.claimInstance(qEnvironmentVariable("WAYLAND_DISPLAY"), openPreferences))
        return *status;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (const auto problem = GnomeShellClient::problem(bus, HALVO_VERSION)) {
        log.write("Halvo: " + *problem);
        return 1;
    }
    GnomeShellClient client(bus);
    if (!client.start()) {
        log.write(std::string("Halvo: Another program holds Halvo's name on the session bus (") +
                  GnomeShellClient::halvoName + "); quit it and start Halvo again.");
        return 1;
    }
    QObject::connect(&client, &GnomeShellClient::shellLost, &shell.app(), quitForLostShell);

    const DesktopEntryIndex desktopEntries;
    GnomeWorkspace workspace(client);
    workspace.setDesktopEntries(DesktopAppCatalog::Entries::installed(desktopEntries));
    GnomeWindowControl windowControl(client);
    GnomeScreens screens(client);
    GnomeEventMonitor eventMonitor(client);
    GnomeHotkeyRegistrar hotkeyRegistrar(client, eventMonitor);
    GnomePermissions permissions(windowControl, log);
    CanberraSystemSound sound;

    SessionBackends backends{
        workspace,
        windowControl,
        screens,
        hotkeyRegistrar,
        eventMonitor,
        sound,
        permissions,
        [&client](MinimapModel& model, MinimapActions actions) -> std::unique_ptr<Panel> {
            return std::make_unique<GnomeOverlayPanel>(
                client, std::make_unique<MinimapOverlayView>(model, std::move(actions)));
        },
        PermissionHelp::Session::gnome,
        std::nullopt,
        [&client]() -> std::unique_ptr<StatusItem> {
            return std::make_unique<GnomeStatusItem>(client);
        }};
    return shell.run(std::move(backends), openPreferences,
                     [](int status) { return CompositorLossReport::reported() ? 1 : status; });
}

} // namespace halvo
