// Private headless GNOME Shell sessions for tests. gnome-shell runs as an unprivileged system user
// (created on first use) when the test process is root, in its own folder: HOME with the
// extension and the settings (GLib's keyfile backend, so that nothing needs dconf), and
// XDG_RUNTIME_DIR (0700). It needs a system bus as well as a session bus (loginManager.js aborts
// without one): both are private dbus-daemons that let this root process connect too.
#include "support/GnomeShellSession.h"

#include "support/ChildProcess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef HALVO_GNOME_EXTENSION_DIR
#define HALVO_GNOME_EXTENSION_DIR ""
#endif

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* testUserName = "halvo-gnome";
constexpr const char* extensionUuid = "halvo@c_seed_0d7007af.example";
constexpr const char* serviceName = "example.c_seed_0d7007af.halvo.Shell";
constexpr const char* servicePath = "/example/c_seed_0d7007af/halvo/Shell";
constexpr int callTimeoutMs = 5000;

std::optional<std::pair<uid_t, gid_t>> account() {
    if (getuid() != 0)
        return std::pair{getuid(), getgid()};
    std::optional<std::pair<uid_t, gid_t>> found;
    GnomeShellSession::waitUntil(
        [&] {
            if (const passwd* entry = getpwnam(testUserName)) {
                found = std::pair{entry->pw_uid, entry->pw_gid};
                return true;
            }
            // Tests start in parallel: a useradd that loses the race for /etc/passwd fails.
            const std::string useradd =
                std::string("useradd --system --user-group --no-create-home --home-dir "
                            "/nonexistent --shell /usr/sbin/nologin ") +
                testUserName + " >/dev/null 2>&1";
            [[maybe_unused]] const int status = std::system(useradd.c_str());
            return false;
        },
        20);
    return found;
}

bool makeOwnedFolder(const std::string& path, uid_t uid, gid_t gid) {
    std::error_code error;
    fs::create_directories(path, error);
    return !error && chown(path.c_str(), uid, gid) == 0 && chmod(path.c_str(), 0700) == 0;
}

void chownTree(const std::string& path, uid_t uid, gid_t gid) {
    std::error_code error;
    [[maybe_unused]] const int own = chown(path.c_str(), uid, gid);
    for (const auto& entry : fs::recursive_directory_iterator(path, error))
        [[maybe_unused]] const int ownEntry = chown(entry.path().c_str(), uid, gid);
}

std::string lastLines(const std::string& path, int count) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::ostringstream out;
    for (size_t i = lines.size() > size_t(count) ? lines.size() - count : 0; i < lines.size(); ++i)
        out << "\n  " << lines[i];
    return out.str();
}

QDBusMessage call(const QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& method, const QVariantList& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    return bus.call(message, QDBus::Block, callTimeoutMs);
}

bool fileContains(const std::string& path, const std::string& text) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

bool succeeded(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

GnomeShellSession::GnomeShellSession() : GnomeShellSession(Options{}) {}

GnomeShellSession::GnomeShellSession(Options options) : m_options(options) {
    start();
}

GnomeShellSession::~GnomeShellSession() {
    if (!m_connectionName.empty())
        QDBusConnection::disconnectFromBus(QString::fromStdString(m_connectionName));
    ChildProcess::end(m_shell);
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        ChildProcess::end(*it);
    if (!m_folder.empty()) {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
}

void GnomeShellSession::fail(const std::string& what) {
    m_error = what;
    if (!m_folder.empty())
        m_error += "; gnome-shell's log ends:" + lastLines(m_folder + "/gnome-shell.log", 15);
}

QDBusConnection GnomeShellSession::bus() const {
    return QDBusConnection(QString::fromStdString(m_connectionName));
}

bool GnomeShellSession::prepareFolder() {
    const auto user = account();
    if (!user) {
        m_error = std::string("could not create the unprivileged user ") + testUserName;
        return false;
    }
    std::tie(m_uid, m_gid) = *user;
    char folderTemplate[] = "/tmp/halvo-gnome-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        m_error = "mkdtemp failed";
        return false;
    }
    m_folder = folderTemplate;
    m_runtimeDir = m_folder + "/run";
    m_home = m_folder + "/home";
    if (!makeOwnedFolder(m_folder, m_uid, m_gid) || !makeOwnedFolder(m_runtimeDir, m_uid, m_gid) ||
        !makeOwnedFolder(m_home, m_uid, m_gid)) {
        m_error = "could not prepare " + m_folder;
        return false;
    }
    return true;
}

bool GnomeShellSession::installExtension() {
    const fs::path source = HALVO_GNOME_EXTENSION_DIR;
    const fs::path target =
        fs::path(m_home) / ".local/share/gnome-shell/extensions" / extensionUuid;
    std::error_code error;
    fs::create_directories(target, error);
    fs::copy(source, target, fs::copy_options::recursive, error);
    if (error || !fs::exists(target / "metadata.json")) {
        m_error = "could not install the extension from " + source.string();
        return false;
    }
    return true;
}

void GnomeShellSession::writeSettings() const {
    const fs::path folder = fs::path(m_home) / ".config/glib-2.0/settings";
    std::error_code error;
    fs::create_directories(folder, error);
    std::ofstream keyfile(folder / "keyfile");
    keyfile << "[org/gnome/shell]\n";
    if (m_options.withExtension)
        keyfile << "enabled-extensions=['" << extensionUuid << "']\n";
    keyfile << "disable-user-extensions=false\n\n";
    if (!m_options.keepStockShortcuts) {
        keyfile << "[org/gnome/desktop/wm/keybindings]\n";
        for (const char* name :
             {"switch-to-workspace-left", "switch-to-workspace-right", "switch-to-workspace-up",
              "switch-to-workspace-down", "move-to-workspace-left", "move-to-workspace-right",
              "move-to-workspace-up", "move-to-workspace-down"})
            keyfile << name << "=@as []\n";
    }
}

void GnomeShellSession::writeBusConfig(const std::string& path, const std::string& socket) const {
    std::ofstream config(path);
    config << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
              "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           << "<busconfig><type>session</type><listen>unix:path=" << socket << "</listen>"
           << "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
           << "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           << "<allow own=\"*\"/></policy></busconfig>\n";
}

std::vector<std::string> GnomeShellSession::userEnvironment() const {
    return {"HOME=" + m_home,
            "XDG_RUNTIME_DIR=" + m_runtimeDir,
            "PATH=/usr/local/bin:/usr/bin:/bin",
            "SHELL=/bin/sh",
            "LANG=C.UTF-8",
            "XDG_SESSION_TYPE=wayland",
            "XDG_CURRENT_DESKTOP=GNOME",
            "GSETTINGS_BACKEND=keyfile",
            "DBUS_SESSION_BUS_ADDRESS=" + m_busAddress,
            "DBUS_SYSTEM_BUS_ADDRESS=" + m_systemBusAddress,
            "WAYLAND_DISPLAY=" + (m_waylandDisplay.empty() ? "wayland-0" : m_waylandDisplay)};
}

pid_t GnomeShellSession::startAsUser(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& env,
                                     const std::string& logName) {
    const std::string logPath = m_folder + "/" + logName;
    const int log = logName.empty()
                        ? -1
                        : open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ChildProcess child(argv);
    child.environment = env;
    child.outputFd = log;
    child.errorFd = log;
    child.dir = m_home;
    child.user = std::pair{m_uid, m_gid};
    const pid_t pid = child.start();
    if (log >= 0)
        close(log);
    return pid;
}

void GnomeShellSession::start() {
    if (!prepareFolder())
        return;
    if (m_options.withExtension && !installExtension())
        return;
    writeSettings();
    chownTree(m_home, m_uid, m_gid);
    const std::string sessionSocket = m_folder + "/session-bus";
    const std::string systemSocket = m_folder + "/system-bus";
    writeBusConfig(m_folder + "/session-bus.conf", sessionSocket);
    writeBusConfig(m_folder + "/system-bus.conf", systemSocket);
    m_busAddress = "unix:path=" + sessionSocket;
    m_systemBusAddress = "unix:path=" + systemSocket;
    for (const std::string& name : {std::string("session-bus"), std::string("system-bus")})
        m_processes.push_back(startAsUser(
            {"dbus-daemon", "--nofork", "--config-file=" + m_folder + "/" + name + ".conf"},
            userEnvironment(), name + ".log"));
    if (!waitUntil([&] { return fs::exists(sessionSocket) && fs::exists(systemSocket); })) {
        fail("the private buses did not start");
        return;
    }
    m_shell = startAsUser({"gnome-shell", "--headless", "--wayland", "--no-x11",
                           "--virtual-monitor", "1280x720", "--virtual-monitor", "1024x768"},
                          userEnvironment(), "gnome-shell.log");
    m_waylandDisplay = m_runtimeDir + "/wayland-0";
    static int connections = 0;
    m_connectionName =
        "halvo-test-gnome-" + std::to_string(getpid()) + "-" + std::to_string(++connections);
    // The socket file exists once dbus-daemon has bound it, a moment before it listens: a loaded
    // machine shows that gap, so the bus counts as up once a connection is accepted.
    const bool connected = waitUntil([&] {
        const QString name = QString::fromStdString(m_connectionName);
        if (QDBusConnection::connectToBus(QString::fromStdString(m_busAddress), name).isConnected())
            return true;
        QDBusConnection::disconnectFromBus(name);
        return false;
    });
    if (!connected) {
        fail("cannot connect to the private session bus");
        return;
    }
    m_ok = waitForShell() && hideOverview();
}

bool GnomeShellSession::waitForShell() {
    const QDBusConnection connection = bus();
    const bool ready = waitUntil(
        [&] {
            int status = 0;
            if (waitpid(m_shell, &status, WNOHANG) == m_shell) {
                m_shell = -1;
                return true;
            }
            if (!m_options.withExtension)
                return connection.interface()->isServiceRegistered("org.gnome.Shell").value();
            return connection.interface()->isServiceRegistered(serviceName).value();
        },
        40);
    if (m_shell < 0) {
        fail("gnome-shell exited at start");
        return false;
    }
    if (!ready) {
        fail(m_options.withExtension ? "Halvo's extension did not come up"
                                     : "gnome-shell did not come up");
        return false;
    }
    return true;
}

bool GnomeShellSession::logContains(const std::string& text) const {
    return fileContains(m_folder + "/gnome-shell.log", text);
}

// The shell shows the overview at the end of its start-up animation; it is hidden once shown.
bool GnomeShellSession::hideOverview() {
    const QDBusConnection connection = bus();
    const auto overviewActive = [&] {
        const QDBusMessage reply =
            call(connection, "org.gnome.Shell", "/org/gnome/Shell",
                 "org.freedesktop.DBus.Properties", "Get", {"org.gnome.Shell", "OverviewActive"});
        return succeeded(reply) && !reply.arguments().isEmpty() &&
               qdbus_cast<QDBusVariant>(reply.arguments().first()).variant().toBool();
    };
    if (!waitUntil(overviewActive, 15)) {
        fail("the overview never showed");
        return false;
    }
    // Hidden during its start-up animation, the overview of GNOME 48 never finishes that
    // animation: the shell then never completes its start-up and filters out every shortcut.
    // It logs the completion.
    if (!waitUntil([&] { return logContains("GNOME Shell started at"); }, 15)) {
        fail("the shell never completed its start-up");
        return false;
    }
    const QDBusMessage set = call(
        connection, "org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Set",
        {"org.gnome.Shell", "OverviewActive", QVariant::fromValue(QDBusVariant(QVariant(false)))});
    if (!succeeded(set) || !waitUntil([&] { return !overviewActive(); }, 10)) {
        fail("the overview could not be hidden");
        return false;
    }
    return true;
}

pid_t GnomeShellSession::spawn(const std::vector<std::string>& argv) {
    const pid_t pid =
        startAsUser(argv, userEnvironment(), std::getenv("HALVO_TEST_VERBOSE") ? "client.log" : "");
    m_processes.push_back(pid);
    return pid;
}

std::optional<std::uint64_t> GnomeShellSession::startTerminal(const std::string& appID) {
    spawn({"foot", "--app-id=" + appID});
    std::optional<std::uint64_t> id;
    waitUntil(
        [&] {
            const nlohmann::json window = windowOf(appID);
            if (window.is_object())
                id = window["id"].get<std::uint64_t>();
            return id.has_value();
        },
        20);
    return id;
}

nlohmann::json GnomeShellSession::windows() const {
    const QDBusMessage reply = call(bus(), serviceName, servicePath, serviceName, "GetWindows");
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return nullptr;
    return nlohmann::json::parse(reply.arguments().first().toString().toStdString(), nullptr,
                                 false);
}

nlohmann::json GnomeShellSession::monitors() const {
    const QDBusMessage reply = call(bus(), serviceName, servicePath, serviceName, "GetMonitors");
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return nullptr;
    return nlohmann::json::parse(reply.arguments().first().toString().toStdString(), nullptr,
                                 false);
}

nlohmann::json GnomeShellSession::menuState() const {
    const QDBusMessage reply = call(bus(), serviceName, servicePath, serviceName, "GetMenuState");
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return nullptr;
    return nlohmann::json::parse(reply.arguments().first().toString().toStdString(), nullptr,
                                 false);
}

bool GnomeShellSession::chooseFromMenu(const std::string& label) {
    const auto click = [&](const nlohmann::json& frame) {
        // Whole pixels: the shell reports the pointer's position in them.
        return movePointerTo(frame[0].get<int>() + frame[2].get<int>() / 2,
                             frame[1].get<int>() + frame[3].get<int>() / 2) &&
               pressButton() && releaseButton();
    };
    // The remote desktop session the clicks go through adds its own indicator to the top bar,
    // which moves Halvo's button: the session comes first.
    if (m_remoteSession.empty() && !key(0xffe1, false))
        return false;
    const std::optional<nlohmann::json> button =
        settledFrame([](const nlohmann::json& state) { return state["button"]; });
    if (!button || !click(*button))
        return false;
    const std::optional<nlohmann::json> row =
        settledFrame([&](const nlohmann::json& state) -> nlohmann::json {
            for (const auto& candidate : state["rows"]) {
                if (candidate["label"] == label)
                    return candidate["frame"];
            }
            return nullptr;
        });
    return row && click(*row);
}

// Panel items and menus slide into place: a frame counts once it stays put for ten polls (longer
// than a frame of the shell's).
std::optional<nlohmann::json> GnomeShellSession::settledFrame(
    const std::function<nlohmann::json(const nlohmann::json&)>& find) const {
    nlohmann::json last;
    int stillPolls = 0;
    const bool settled = waitUntil([&] {
        const nlohmann::json state = menuState();
        const nlohmann::json frame = state.is_object() ? find(state) : nlohmann::json();
        stillPolls = frame.is_array() && frame == last ? stillPolls + 1 : 0;
        last = frame;
        return stillPolls >= 10;
    });
    return settled ? std::optional(last) : std::nullopt;
}

std::string GnomeShellSession::focusedApp() const {
    const nlohmann::json list = windows();
    if (!list.is_object() || !list["focused"].is_number())
        return {};
    for (const auto& window : list["windows"]) {
        if (window["id"] == list["focused"])
            return window["app"].get<std::string>();
    }
    return {};
}

nlohmann::json GnomeShellSession::windowOf(const std::string& appID) const {
    const nlohmann::json list = windows();
    if (!list.is_object())
        return nullptr;
    for (const auto& window : list["windows"]) {
        if (window["app"] == appID)
            return window;
    }
    return nullptr;
}

QImage GnomeShellSession::screenshot() {
    QDBusConnection connection = bus();
    if (!connection.interface()->registerService("org.gnome.Screenshot").isValid())
        return {};
    // The shell writes the file as the session's user, into the session's folder.
    const std::string path = m_folder + "/screenshot-" + std::to_string(++m_screenshots) + ".png";
    const QDBusMessage reply = call(connection, "org.gnome.Shell.Screenshot",
                                    "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot",
                                    "Screenshot", {false, false, QString::fromStdString(path)});
    if (!succeeded(reply) || reply.arguments().isEmpty() || !reply.arguments().first().toBool())
        return {};
    return QImage(QString::fromStdString(path));
}

bool GnomeShellSession::key(unsigned keysym, bool pressed) {
    const QDBusConnection connection = bus();
    const QString remote = "org.gnome.Mutter.RemoteDesktop";
    if (m_remoteSession.empty()) {
        const QDBusMessage created =
            call(connection, remote, "/org/gnome/Mutter/RemoteDesktop", remote, "CreateSession");
        if (!succeeded(created) || created.arguments().isEmpty())
            return false;
        m_remoteSession =
            qdbus_cast<QDBusObjectPath>(created.arguments().first()).path().toStdString();
        if (!succeeded(call(connection, remote, QString::fromStdString(m_remoteSession),
                            remote + ".Session", "Start")))
            return false;
        // The first key of a remote desktop session is dropped: a harmless one goes first.
        key(0xffe1, true);
        key(0xffe1, false);
    }
    return remoteCall("NotifyKeyboardKeysym", {QVariant::fromValue(keysym), QVariant(pressed)});
}

bool GnomeShellSession::remoteCall(const QString& method, const QVariantList& arguments) {
    const QString remote = "org.gnome.Mutter.RemoteDesktop";
    return succeeded(call(bus(), remote, QString::fromStdString(m_remoteSession),
                          remote + ".Session", method, arguments));
}

bool GnomeShellSession::movePointerTo(double x, double y) {
    // The session exists once a key was sent (the warm-up key makes it).
    if (m_remoteSession.empty() && !key(0xffe1, false))
        return false;
    return waitUntil(
        [&] {
            const nlohmann::json state = monitors();
            if (!state.is_object())
                return false;
            const double dx = x - state["pointer"][0].get<double>();
            const double dy = y - state["pointer"][1].get<double>();
            if (dx == 0 && dy == 0)
                return true;
            remoteCall("NotifyPointerMotionRelative", {dx, dy});
            return false;
        },
        5);
}

bool GnomeShellSession::button(bool pressed) {
    constexpr int leftButton = 0x110; // BTN_LEFT
    return remoteCall("NotifyPointerButton", {leftButton, pressed});
}

bool GnomeShellSession::pressButton() {
    return button(true);
}

bool GnomeShellSession::releaseButton() {
    return button(false);
}

bool GnomeShellSession::press(unsigned keysym) {
    return key(keysym, true);
}

bool GnomeShellSession::release(unsigned keysym) {
    return key(keysym, false);
}

bool GnomeShellSession::waitUntil(const std::function<bool()>& pred, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace halvo::test
