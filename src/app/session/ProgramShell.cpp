// The program around the backends: Qt application, single instance, controller and its windows.
#include "app/session/ProgramShell.h"

#include "app/HalvoController.h"
#include "app/SettingsLinks.h"
#include "app/view/QtAuxWindows.h"
#include "platform/ThreadBackgroundQueue.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/linux/ProcessBundleInfo.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/QtStatusItem.h"
#include "platform/linux/QtTranslations.h"
#include "platform/linux/QuitOnSignal.h"
#include "platform/linux/XdgLoginItems.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>
#include <string>
#include <unistd.h>

// Q_INIT_RESOURCE names a function of the global namespace.
static void initResources() {
    Q_INIT_RESOURCE(halvo);
}

namespace halvo {
namespace {

constexpr const char* identifier = "Halvo";
constexpr const char* noControllerVariable = "HALVO_NO_CONTROLLER";

// Where installed data lives: <prefix>/share/halvo beside <prefix>/bin/halvo, else the build
// directory (translations) and the source tree's resources (help page).
QString dataDir() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/halvo");
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

} // namespace

ProgramShell::ProgramShell(int& argc, char** argv, Log& log) : m_log(log) {
    QApplication::setApplicationName(QStringLiteral("halvo"));
    QApplication::setDesktopFileName(QStringLiteral("halvo"));
    m_app = std::make_unique<QApplication>(argc, argv);
    initResources();
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/halvo/halvo.svg")));
    // Before any desktop entry's icon is looked up.
    m_iconFallback = IconThemeFallback::install();
}

ProgramShell::~ProgramShell() = default;

std::optional<int> ProgramShell::claimInstance(const QString& display, bool openPreferences) {
    m_instance = std::make_unique<SingleInstance>(display.toStdString());
    if (m_instance->askRunning(openPreferences)) {
        if (openPreferences)
            return 0;
        m_log.write("Halvo: Halvo is already running on this display; use \"halvo "
                    "--preferences\" to open its Preferences.");
        return 1;
    }
    std::string error;
    if (!m_instance->listen(error))
        m_log.write("Halvo: Could not listen for other launches: " + error);
    QtTranslations::install(*m_app, dataDir());
    new QuitOnSignal(m_app.get());
    return std::nullopt;
}

int ProgramShell::run(SessionBackends backends, bool openPreferences,
                      const std::function<int(int status)>& afterLoop) {
    QtMainQueue mainQueue;
    ProcessBundleInfo bundle(identifier, HALVO_VERSION, HALVO_BUILD);
    XdgLoginItems loginItems(XdgLoginItems::defaultAutostartDir(),
                             QCoreApplication::applicationFilePath().toStdString());
    const bool idle = bundle.environment(noControllerVariable).has_value();
    JsonFileUserDefaults defaults(JsonFileUserDefaults::defaultPath(), m_log);
    ThreadBackgroundQueue moveQueue("Halvo.moves", ThreadBackgroundQueue::Kind::concurrent);
    ThreadBackgroundQueue fullScreenQueue(std::string(identifier) + ".fullscreen",
                                          ThreadBackgroundQueue::Kind::serial, 1);

    // The windows need the controller and the controller opens the windows: the controller
    // reaches them through this holder, filled once both exist.
    std::unique_ptr<QtAuxWindows> windows;
    Log& log = m_log;
    HalvoController::Platform platform{
        mainQueue,
        backends.workspace,
        backends.windowControl,
        backends.screens,
        backends.hotkeyRegistrar,
        backends.eventMonitor,
        defaults,
        backends.sound,
        m_log,
        backends.permissions,
        moveQueue,
        fullScreenQueue,
        static_cast<ProcessID>(getpid()),
        SettingsLinks(helpPage().toStdString()),
        std::move(backends.makePanel),
        [&log, tint = backends.trayTint,
         makeOwn = std::move(backends.makeStatusItem)]() -> std::unique_ptr<StatusItem> {
            if (makeOwn)
                return makeOwn();
            if (!QtStatusItem::isTrayAvailable())
                log.write("Halvo: No system tray was found; open Preferences with "
                          "\"halvo --preferences\".");
            return std::make_unique<QtStatusItem>(nullptr, tint);
        },
        [&windows] { windows->showPreferences(); },
        [&windows] { windows->showAbout(); },
        [] { QCoreApplication::quit(); },
        openURL,
        PermissionHelp(backends.session)};
    std::unique_ptr<HalvoController> controller;
    if (!idle) {
        controller = std::make_unique<HalvoController>(std::move(platform));
        windows = std::make_unique<QtAuxWindows>(*controller, loginItems, bundle);
    }
    m_instance->onPreferencesRequested = [&windows] {
        if (windows)
            windows->showPreferences();
    };

    if (controller) {
        controller->start();
        // Building the overlay costs about a tenth of a second; pay it now, not on the first
        // switch.
        controller->overlay().prepare();
    }
    if (openPreferences && windows)
        windows->showPreferences();

    const int status = afterLoop(m_app->exec());
    m_instance->onPreferencesRequested = nullptr;
    if (controller)
        controller->stop();
    // The windows reach the controller until they are gone (closing Preferences resumes the
    // shortcut): they go first.
    windows.reset();
    return status;
}

} // namespace halvo
