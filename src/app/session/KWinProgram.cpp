// The KWin backends wired into the program, and the lost-KWin handling.
#include "app/session/KWinProgram.h"

#include "app/session/LayerOverlayFactory.h"
#include "app/session/ProgramShell.h"
#include "platform/Log.h"
#include "platform/kwin/KWinHotkeyRegistrar.h"
#include "platform/kwin/KWinPermissions.h"
#include "platform/kwin/KWinScreens.h"
#include "platform/kwin/KWinScript.h"
#include "platform/kwin/KWinScriptChannel.h"
#include "platform/kwin/KWinScriptText.h"
#include "platform/kwin/KWinWindowControl.h"
#include "platform/kwin/KWinWorkspace.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/wayland/CompositorLossReport.h"
#include "platform/wayland/LayerKeyboardMonitor.h"
#include "platform/wayland/WaylandConnection.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <memory>
#include <unistd.h>

namespace halvo {
namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
constexpr std::chrono::seconds scriptStartTimeout{5};

void quitForLostKWin() {
    CompositorLossReport::report();
    QCoreApplication::exit(1);
}

} // namespace

int KWinProgram::run(int& argc, char** argv, bool openPreferences, Log& log) {
    // Preferences, About and the tray menu are Wayland windows of KWin's, not XWayland's. Only
    // for Halvo's own Qt: the apps it starts get the environment it was given.
    const bool choosePlatform = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (choosePlatform)
        qputenv("QT_QPA_PLATFORM", "wayland");
    // As on sway: Qt's own decorations would load Mesa for nothing; KWin decorates Preferences
    // and About itself.
    if (qEnvironmentVariableIsEmpty("QT_WAYLAND_DISABLE_WINDOWDECORATION"))
        qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
    CompositorLossReport::setCompositorName("KWin");
    CompositorLossReport::watchQt();
    ProgramShell shell(argc, argv, log);
    if (choosePlatform)
        qunsetenv("QT_QPA_PLATFORM");
    if (const auto status =
            shell.claimInstance(qEnvironmentVariable("WAYLAND_DISPLAY"), openPreferences))
        return *status;

    // A connection of its own: Qt holds back the calls on its shared session bus connection
    // until the event loop runs, and the script's first report is awaited before that.
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("halvo-kwin"));
    const QString kwinOwner =
        bus.interface() ? bus.interface()->serviceOwner(kwinService).value() : QString();
    if (kwinOwner.isEmpty()) {
        log.write("Halvo: KWin (org.kde.KWin) is not on the session bus. Start Halvo from inside "
                  "your Plasma session.");
        return 1;
    }
    QDBusServiceWatcher kwinWatcher(kwinService, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&kwinWatcher, &QDBusServiceWatcher::serviceUnregistered, &shell.app(),
                     quitForLostKWin);

    WaylandConnection wayland;
    if (!wayland.ok()) {
        log.write("Halvo: " + wayland.error());
        return 1;
    }
    QObject::connect(&wayland, &WaylandConnection::connectionLost, &shell.app(), quitForLostKWin);

    KWinScriptChannel channel(bus, kwinOwner);
    if (!channel.ok()) {
        log.write("Halvo: cannot serve the KWin script's calls on the session bus.");
        return 1;
    }
    const KWinScript script(
        bus, KWinScriptText::forService(bus.baseService().toStdString(), ::getpid()));
    if (!script.ok()) {
        log.write("Halvo: cannot run its script in KWin: " + script.error());
        return 1;
    }
    if (!channel.waitForScript(scriptStartTimeout)) {
        log.write("Halvo: its script in KWin did not report within 5 seconds.");
        return 1;
    }

    const DesktopEntryIndex desktopEntries;
    KWinWorkspace workspace(channel);
    workspace.setDesktopEntries(KWinWorkspace::DesktopEntries::installed(desktopEntries));
    KWinWindowControl windowControl(channel);
    KWinScreens screens(channel, wayland);
    LayerKeyboardMonitor eventMonitor(wayland, KeyboardHold::LostKeyboard::takeBack);
    KWinHotkeyRegistrar hotkeyRegistrar(bus, eventMonitor, log);
    KWinPermissions permissions(windowControl, hotkeyRegistrar, wayland, log);
    CanberraSystemSound sound;

    SessionBackends backends{workspace,
                             windowControl,
                             screens,
                             hotkeyRegistrar,
                             eventMonitor,
                             sound,
                             permissions,
                             layerOverlayFactory(wayland, screens),
                             PermissionHelp::Session::kde};
    return shell.run(std::move(backends), openPreferences,
                     [](int status) { return CompositorLossReport::reported() ? 1 : status; });
}

} // namespace halvo
