// The halvo program: command line, single instance, translations, signals, the X connection, and
// the shell (tray menu, Preferences, About) around the switching controller.
#include "app/HalvoController.h"
#include "app/SettingsLinks.h"
#include "app/StatusMenu.h"
#include "app/view/QtAuxWindows.h"
#include "minimap/view/OverlayPanel.h"
#include "platform/Localization.h"
#include "platform/ThreadBackgroundQueue.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/IconThemeFallback.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/linux/ProcessBundleInfo.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/QtStatusItem.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/XdgLoginItems.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventMonitor.h"
#include "platform/x11/X11EventPump.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11SystemSound.h"
#include "platform/x11/X11WindowControl.h"
#include "platform/x11/X11Workspace.h"
#include "settings/PreferencesBackend.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace halvo {
namespace {

constexpr const char* usage =
    "Usage: halvo [--preferences | --help | --version]\n"
    "\n"
    "Halvo is a keyboard-driven app switcher with a custom order. Hold Control+Alt (or your own\n"
    "combination) and press Left or Right to step through your apps; hold an arrow for 0.6 s to\n"
    "move the selected app's windows to the screen you started on; Up and Down enter and leave\n"
    "full screen. Halvo lives in the panel's system tray.\n"
    "\n"
    "  --preferences  open the Preferences window of the running Halvo (or start one and open it)\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Environment:\n"
    "  HALVO_NO_CONTROLLER=1  start idle, without tray icon, shortcut or permission checks (for\n"
    "                         tests of the program's windows)\n";

constexpr const char* identifier = "Halvo";
constexpr const char* noControllerVariable = "HALVO_NO_CONTROLLER";

// The socket name of the running instance: one Halvo per user and X display.
QString instanceName() {
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("halvo-%1-%2").arg(getuid()).arg(display);
}

// SIGINT and SIGTERM end the event loop from the main thread through a socket pair.
int signalSockets[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

void installSignalHandlers(QObject* parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [notifier] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalSockets[1], &byte, 1);
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Where installed data lives: <prefix>/share/halvo beside <prefix>/bin/halvo, else the build
// directory (translations) and the source tree's resources (help page).
QString dataDir() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/halvo");
}

void installTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    const QStringList dirs = {dataDir() + "/translations",
                              QCoreApplication::applicationDirPath() + "/translations"};
    for (const QString& dir : dirs) {
        if (translator->load(QLocale(), "halvo", "_", dir)) {
            QCoreApplication::installTranslator(translator);
            break;
        }
    }
    auto* qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(QLocale(), "qtbase", "_",
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator);
    setLocalizer([](std::string_view key, std::string_view comment) {
        const std::string k(key);
        const std::string c(comment);
        return QCoreApplication::translate("Halvo", k.c_str(), c.c_str()).toStdString();
    });
}

QString helpPage() {
    for (const QString& path : {dataDir() + "/permissions.html",
                                QString(HALVO_SOURCE_DIR) + "/resources/permissions.html"}) {
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

// Opens a URL with the desktop's opener; a local file that does not exist is refused, so the
// fallback is tried instead.
bool openURL(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url));
    if (!parsed.isValid())
        return false;
    if (parsed.isLocalFile() && !QFileInfo::exists(parsed.toLocalFile()))
        return false;
    return QDesktopServices::openUrl(parsed);
}

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

// Asks a running Halvo to open its Preferences; true when one answered.
bool askRunningInstance(const QString& name, bool preferences) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(preferences ? "preferences\n" : "ping\n");
    socket.flush();
    socket.waitForBytesWritten(1000);
    socket.waitForReadyRead(2000);
    return true;
}

} // namespace
} // namespace halvo

int main(int argc, char** argv) {
    using namespace halvo;
    bool openPreferences = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("Halvo %s (%s)\n", HALVO_VERSION, HALVO_BUILD);
            return 0;
        }
        if (!std::strcmp(argv[i], "--preferences")) {
            openPreferences = true;
            continue;
        }
        std::fprintf(stderr, "halvo: unknown option \"%s\"\n\n%s", argv[i], usage);
        return 2;
    }

    StderrLog log;
    std::string error;
    std::unique_ptr<X11Connection> connection = X11Connection::open(nullptr, error);
    if (!connection) {
        log.write("Halvo: " + error);
        return 1;
    }

    QApplication::setApplicationName(QStringLiteral("halvo"));
    QApplication::setDesktopFileName(QStringLiteral("halvo"));
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(halvo);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/halvo/halvo.svg")));
    // Before any desktop entry's icon is looked up.
    const auto iconFallback = IconThemeFallback::install();

    const QString name = instanceName();
    if (askRunningInstance(name, openPreferences)) {
        if (openPreferences)
            return 0;
        log.write("Halvo: Halvo is already running on this display; use \"halvo --preferences\" "
                  "to open its Preferences.");
        return 1;
    }
    QLocalServer::removeServer(name);
    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name))
        log.write("Halvo: Could not listen for other launches: " +
                  server.errorString().toStdString());

    installTranslations(app);
    installSignalHandlers(&app);

    checkedConnection = connection.get();
    std::atexit(checkServerAtExit);
    X11EventPump pump(*connection, [] {
        reportLostConnection();
        QCoreApplication::exit(1);
    });

    QtMainQueue mainQueue;
    ProcessBundleInfo bundle(identifier, HALVO_VERSION, HALVO_BUILD);
    XdgLoginItems loginItems(XdgLoginItems::defaultAutostartDir(),
                             QCoreApplication::applicationFilePath().toStdString());

    const bool idle = bundle.environment(noControllerVariable).has_value();
    const ProcessID ownPid = static_cast<ProcessID>(getpid());
    const DesktopEntryIndex desktopEntries;
    X11Workspace workspace(*connection, ownPid);
    workspace.setDesktopEntries(X11Workspace::DesktopEntries::installed(desktopEntries));
    workspace.setIconScale(app.devicePixelRatio());
    X11WindowControl windowControl(*connection, ownPid, &log);
    X11Permissions permissions(*connection, windowControl, log);
    X11Screens screens(*connection);
    X11HotkeyRegistrar hotkeyRegistrar(*connection);
    X11EventMonitor eventMonitor(*connection);
    X11SystemSound sound(*connection);
    JsonFileUserDefaults defaults(JsonFileUserDefaults::defaultPath(), log);
    ThreadBackgroundQueue moveQueue("Halvo.moves", ThreadBackgroundQueue::Kind::concurrent);
    ThreadBackgroundQueue fullScreenQueue(std::string(identifier) + ".fullscreen",
                                          ThreadBackgroundQueue::Kind::serial, 1);

    // The windows need the controller and the controller opens the windows: the controller
    // reaches them through this holder, filled once both exist.
    std::unique_ptr<QtAuxWindows> windows;
    HalvoController::Platform platform{
        mainQueue,
        workspace,
        windowControl,
        screens,
        hotkeyRegistrar,
        eventMonitor,
        defaults,
        sound,
        log,
        permissions,
        moveQueue,
        fullScreenQueue,
        ownPid,
        SettingsLinks(helpPage().toStdString()),
        [&screens](MinimapModel& model, MinimapActions actions) -> std::unique_ptr<Panel> {
            return std::make_unique<OverlayPanel>(screens, model, std::move(actions));
        },
        [&log]() -> std::unique_ptr<StatusItem> {
            if (!QtStatusItem::isTrayAvailable())
                log.write("Halvo: No system tray was found; open Preferences with "
                          "\"halvo --preferences\".");
            return std::make_unique<QtStatusItem>();
        },
        [&windows] { windows->showPreferences(); },
        [&windows] { windows->showAbout(); },
        [] { QCoreApplication::quit(); },
        openURL};
    // In idle mode (for tests of the program's shell) nothing is built: no tray, no hot keys,
    // no settings read or written.
    std::unique_ptr<HalvoController> controller;
    if (!idle) {
        controller = std::make_unique<HalvoController>(std::move(platform));
        windows = std::make_unique<QtAuxWindows>(*controller, loginItems, bundle);
    }

    QObject::connect(&server, &QLocalServer::newConnection, &app, [&] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, &windows] {
                const QByteArray request = socket->readLine().trimmed();
                if (request == "preferences")
                    if (windows)
                        windows->showPreferences();
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });

    if (controller) {
        controller->start();
        // Building the overlay costs about a tenth of a second; pay it now, not on the first
        // switch.
        controller->overlay().prepare();
    }
    if (openPreferences && windows)
        windows->showPreferences();

    int status = app.exec();
    if (!serverAnswers(*connection)) {
        reportLostConnection();
        status = 1;
    }
    checkedConnection = nullptr;
    if (controller)
        controller->stop();
    // The windows reach the controller until they are gone (closing Preferences resumes the
    // shortcut): they go first.
    windows.reset();
    return status;
}
