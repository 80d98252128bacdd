// The halvo program: command line, single instance, translations, signals, the X connection, and
// the shell (tray menu, Preferences, About) around the switching controller.
#include "app/PreferencesBackend.h"
#include "app/SettingsLinks.h"
#include "app/StatusMenu.h"
#include "app/view/QtAuxWindows.h"
#include "platform/Localization.h"
#include "platform/x11/ProcessBundleInfo.h"
#include "platform/x11/QtMainQueue.h"
#include "platform/x11/QtStatusItem.h"
#include "platform/x11/StderrLog.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventPump.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/XdgLoginItems.h"

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

// The shell's side of the program until the switching controller takes it over: the permission
// flags and their poll, the tray menu, and the settings the Preferences window edits (kept in
// memory here; the controller stores them in the user defaults and registers the shortcut).
class Shell final : public PreferencesBackend {
public:
    Shell(MainQueue& mainQueue, Permissions& permissions, AuxWindows& windows, Log& log)
        : m_mainQueue(mainQueue), m_permissions(permissions), m_windows(windows), m_log(log),
          m_links(helpPage().toStdString()) {
        m_accessibilityTrusted = m_permissions.isAccessibilityTrusted();
        m_inputMonitoringGranted = m_permissions.isInputMonitoringGranted();
    }

    void start() {
        m_statusItem = std::make_unique<QtStatusItem>();
        if (!QtStatusItem::isTrayAvailable())
            m_log.write("Halvo: No system tray was found; open Preferences with "
                        "\"halvo --preferences\".");
        StatusMenu::setUp(*m_statusItem, m_modifiers, m_accessibilityTrusted.get(), actions());
        refreshPermissions();
        if (!m_accessibilityTrusted.get())
            m_permissions.isAccessibilityTrustedWithPrompt();
        m_poll = m_mainQueue.scheduleRepeating(2.0, [this] { refreshPermissions(); });
    }

    void stop() { m_poll.cancel(); }

    Published<bool>& accessibilityTrusted() override { return m_accessibilityTrusted; }
    Published<bool>& inputMonitoringGranted() override { return m_inputMonitoringGranted; }
    Published<std::optional<std::string>>& hotkeyError() override { return m_hotkeyError; }
    Theme theme() const override { return m_theme; }
    void setTheme(Theme theme) override {
        m_theme = theme;
        m_settingsChanged.set(true);
    }
    ShortcutModifiers modifiers() const override { return m_modifiers; }
    Subscription observeSettings(std::function<void()> changed) override {
        return m_settingsChanged.subscribe([changed = std::move(changed)](bool) { changed(); });
    }
    bool applyShortcut(ShortcutModifiers modifiers) override {
        if (!modifiers.isValid()) {
            m_hotkeyError =
                localized("Select at least one modifier key.", "Empty shortcut validation");
            return false;
        }
        m_modifiers = modifiers;
        m_settingsChanged.set(true);
        m_hotkeyError = std::nullopt;
        if (m_statusItem)
            m_statusItem->setToolTip(StatusMenu::toolTip(m_modifiers));
        return true;
    }
    void setHotkeysSuspended(bool) override {}
    void openAccessibility() override {
        if (!m_permissions.isAccessibilityTrustedWithPrompt()) {
            const auto pane = m_links.accessibilityPane();
            SettingsLinks::openSettingsPane(pane.primary, pane.fallback, openURL);
        }
    }
    void openInputMonitoringSettings() override {
        const auto pane = m_links.inputMonitoringPane();
        SettingsLinks::openSettingsPane(pane.primary, pane.fallback, openURL);
    }
    void refreshPermissions() override {
        m_accessibilityTrusted = m_permissions.isAccessibilityTrusted();
        m_inputMonitoringGranted = m_permissions.isInputMonitoringGranted();
        rebuildMenu();
    }
    void rebuildMenu() override {
        if (m_statusItem)
            m_statusItem->setMenu(StatusMenu::build(m_accessibilityTrusted.get(), actions()));
    }

private:
    StatusMenu::Actions actions() {
        return {[this] { openAccessibility(); }, [this] { openInputMonitoringSettings(); },
                [this] { m_windows.showPreferences(); }, [this] { m_windows.showAbout(); },
                [] { QCoreApplication::quit(); }};
    }

    MainQueue& m_mainQueue;
    Permissions& m_permissions;
    AuxWindows& m_windows;
    Log& m_log;
    SettingsLinks m_links;
    Published<bool> m_accessibilityTrusted{false};
    Published<bool> m_inputMonitoringGranted{false};
    Published<std::optional<std::string>> m_hotkeyError{std::nullopt};
    Published<bool> m_settingsChanged{false};
    Theme m_theme = Theme::system;
    ShortcutModifiers m_modifiers = ShortcutModifiers::defaultCombination;
    std::unique_ptr<QtStatusItem> m_statusItem;
    WorkItem m_poll;
};

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

    X11EventPump pump(*connection, [&log] {
        log.write("Halvo: Lost the connection to the X server; quitting.");
        QCoreApplication::exit(1);
    });

    QtMainQueue mainQueue;
    ProcessBundleInfo bundle(identifier, HALVO_VERSION, HALVO_BUILD);
    X11Permissions permissions(*connection, log);
    XdgLoginItems loginItems(XdgLoginItems::defaultAutostartDir(),
                             QCoreApplication::applicationFilePath().toStdString());

    std::unique_ptr<Shell> shell;
    std::unique_ptr<QtAuxWindows> windows;
    // Holder for the windows' backend, so the windows can exist before the shell does.
    struct Late final : AuxWindows {
        QtAuxWindows* target = nullptr;
        void showPreferences() override { target->showPreferences(); }
        void showAbout() override { target->showAbout(); }
    } late;
    shell = std::make_unique<Shell>(mainQueue, permissions, late, log);
    windows = std::make_unique<QtAuxWindows>(*shell, loginItems, bundle);
    late.target = windows.get();

    QObject::connect(&server, &QLocalServer::newConnection, &app, [&] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, &windows] {
                const QByteArray request = socket->readLine().trimmed();
                if (request == "preferences")
                    windows->showPreferences();
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });

    const bool idle = bundle.environment(noControllerVariable).has_value();
    if (!idle)
        shell->start();
    if (openPreferences)
        windows->showPreferences();

    const int status = app.exec();
    shell->stop();
    return status;
}
