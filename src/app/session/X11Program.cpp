// The X11 backends wired into the program, and the lost-server handling.
#include "app/session/X11Program.h"

#include "app/session/ProgramShell.h"
#include "minimap/view/OverlayPanel.h"
#include "platform/Log.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventMonitor.h"
#include "platform/x11/X11EventPump.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11SystemSound.h"
#include "platform/x11/X11WindowControl.h"
#include "platform/x11/X11Workspace.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace halvo {
namespace {

// A dead X server is noticed by whichever connection reads first: ours (the event pump), or Qt's,
// which then ends the process from inside its event loop without unwinding main. Both paths
// report it here, once, and end with status 1.
X11Connection* checkedConnection = nullptr;
bool lostReported = false;

void reportLostConnection() {
    if (lostReported)
        return;
    lostReported = true;
    static const char message[] = "Halvo: Lost the connection to the X server; quitting.\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
}

// Whether the X server still answers a round trip.
bool serverAnswers(X11Connection& connection) {
    xcb_connection_t* c = connection.xcb();
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return !connection.hasError();
}

void checkServerAtExit() {
    if (checkedConnection && !serverAnswers(*checkedConnection)) {
        reportLostConnection();
        _exit(1);
    }
}

} // namespace

int X11Program::run(int& argc, char** argv, bool openPreferences, Log& log) {
    std::string error;
    // Before Qt connects: without a display Qt would abort with its own message.
    std::unique_ptr<X11Connection> connection = X11Connection::open(nullptr, error);
    if (!connection) {
        log.write("Halvo: " + error);
        return 1;
    }
    ProgramShell shell(argc, argv, log);
    if (const auto status = shell.claimInstance(qEnvironmentVariable("DISPLAY"), openPreferences))
        return *status;

    checkedConnection = connection.get();
    std::atexit(checkServerAtExit);
    X11EventPump pump(*connection, [] {
        reportLostConnection();
        QCoreApplication::exit(1);
    });

    const ProcessID ownPid = static_cast<ProcessID>(getpid());
    const DesktopEntryIndex desktopEntries;
    X11Workspace workspace(*connection, ownPid);
    workspace.setDesktopEntries(X11Workspace::DesktopEntries::installed(desktopEntries));
    workspace.setIconScale(shell.app().devicePixelRatio());
    X11WindowControl windowControl(*connection, ownPid, &log);
    X11Permissions permissions(*connection, windowControl, log);
    X11Screens screens(*connection);
    X11HotkeyRegistrar hotkeyRegistrar(*connection);
    X11EventMonitor eventMonitor(*connection);
    X11SystemSound sound(*connection);

    SessionBackends backends{workspace,
                             windowControl,
                             screens,
                             hotkeyRegistrar,
                             eventMonitor,
                             sound,
                             permissions,
                             OverlayPanel::factory([&screens] {
                                 const Size root = screens.rootSize();
                                 return QSize(static_cast<int>(root.width),
                                              static_cast<int>(root.height));
                             }),
                             PermissionHelp::Session::x11};
    return shell.run(std::move(backends), openPreferences, [&connection](int status) {
        if (!serverAnswers(*connection)) {
            reportLostConnection();
            status = 1;
        }
        checkedConnection = nullptr;
        return status;
    });
}

} // namespace halvo
