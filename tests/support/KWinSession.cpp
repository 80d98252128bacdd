// Private headless KWin sessions for tests. /usr/bin/kwin_wayland carries a file capability
// (cap_sys_resource) that containers do not grant, so a copy without it is run.
#include "support/KWinSession.h"

#include "support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* windowMarker = "halvo-test-windows ";

// Runs a tool with `environment`, and returns whether it exited with status 0.
bool runTool(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    ChildProcess child(argv);
    child.environment = environment;
    if (std::getenv("HALVO_TEST_VERBOSE"))
        child.errorFd = STDERR_FILENO;
    const pid_t pid = child.start();
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The script that prints KWin's windows (5.27 and 6 alike) to its log, one line.
std::string windowsScript(pid_t testPid) {
    return R"JS(
var plasma6 = typeof workspace.windowList === "function";
var all = plasma6 ? workspace.windowList() : workspace.clientList();
var active = plasma6 ? workspace.activeWindow : workspace.activeClient;
var out = [];
for (var i = 0; i < all.length; ++i) {
    var w = all[i];
    if (w.pid === )JS" +
           std::to_string(testPid) + R"JS() continue;
    var g = w.frameGeometry;
    out.push({pid: w.pid, app: String(w.desktopFileName || w.resourceClass), x: g.x, y: g.y,
        w: g.width, h: g.height, fullScreen: !!w.fullScreen, active: w === active,
        minimized: !!w.minimized, managed: !!w.managed, stack: w.stackingOrder});
}
print(")JS" +
           std::string(windowMarker) +
           R"JS(" + JSON.stringify(out));
)JS";
}

} // namespace

KWinSession::KWinSession() {
    start();
}

KWinSession::~KWinSession() {
    for (pid_t pid : m_clients)
        ChildProcess::end(pid);
    stopKWin();
    if (!m_folder.empty()) {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
}

void KWinSession::fail(const std::string& what) {
    m_error =
        what + "; KWin's log ends:\n" + log().substr(log().size() > 2000 ? log().size() - 2000 : 0);
}

std::vector<std::string> KWinSession::clientEnvironment() const {
    return ChildProcess::overridden(ChildProcess::currentEnvironment(),
                                    {"WAYLAND_DISPLAY=" + m_waylandDisplay,
                                     "DBUS_SESSION_BUS_ADDRESS=" + m_busAddress,
                                     "XDG_RUNTIME_DIR=" + m_runtimeDir, "QT_QPA_PLATFORM=wayland",
                                     "XDG_CURRENT_DESKTOP=KDE", "XDG_SESSION_TYPE=wayland"},
                                    {"DISPLAY", "SWAYSOCK"});
}

void KWinSession::exportEnvironment() const {
    setenv("WAYLAND_DISPLAY", m_waylandDisplay.c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", m_runtimeDir.c_str(), 1);
}

void KWinSession::start() {
    char folderTemplate[] = "/tmp/halvo-kwin-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        m_error = "mkdtemp failed";
        return;
    }
    m_folder = folderTemplate;
    m_runtimeDir = m_folder + "/run";
    mkdir(m_runtimeDir.c_str(), 0700);
    const std::string kwinCopy = m_folder + "/kwin_wayland";
    std::error_code copyError;
    if (!fs::copy_file("/usr/bin/kwin_wayland", kwinCopy, copyError)) {
        m_error = "cannot copy /usr/bin/kwin_wayland: " + copyError.message();
        return;
    }
    chmod(kwinCopy.c_str(), 0755);

    const std::string busSocket = m_folder + "/bus";
    m_busAddress = "unix:path=" + busSocket;
    ChildProcess bus({"dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf", "--nofork",
                      "--address=" + m_busAddress});
    m_bus = bus.start();
    if (!waitUntil([&] { return fs::exists(busSocket); }, 10)) {
        m_error = "the session bus did not start";
        return;
    }

    // KWin 6 holds the pointer at the edge between outputs for 100 pixels of motion (its edge
    // barrier), fake input's absolute moves included: off for tests, which place the pointer.
    fs::create_directories(m_folder + "/config");
    std::ofstream(m_folder + "/config/kwinrc")
        << "[EdgeBarrier]\nEdgeBarrier=0\nCornerBarrier=false\n";
    const std::string logPath = m_folder + "/kwin.log";
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ChildProcess kwin({kwinCopy, "--virtual", "--socket", "wayland-kwin", "--width",
                       std::to_string(outputWidth), "--height", std::to_string(outputHeight),
                       "--output-count", "2"});
    // Fake input (keys and pointer for the tests) and screenshots are allowed for any client:
    // test settings only. QPainter compositing keeps KWin small.
    kwin.environment = ChildProcess::overridden(
        ChildProcess::currentEnvironment(),
        {"DBUS_SESSION_BUS_ADDRESS=" + m_busAddress, "XDG_RUNTIME_DIR=" + m_runtimeDir,
         "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1", "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1",
         "KWIN_COMPOSE=Q", "HOME=" + m_folder, "XDG_CONFIG_HOME=" + m_folder + "/config"},
        {"WAYLAND_DISPLAY", "DISPLAY", "QT_QPA_PLATFORM", "SWAYSOCK"});
    kwin.outputFd = log;
    kwin.errorFd = log;
    m_kwin = kwin.start();
    close(log);
    m_waylandDisplay = m_runtimeDir + "/wayland-kwin";
    // KWin owns its name once it serves; asking for it by NameHasOwner starts nothing.
    const bool up = waitUntil(
        [&] {
            int status = 0;
            if (waitpid(m_kwin, &status, WNOHANG) == m_kwin) {
                m_kwin = -1;
                return true;
            }
            return fs::exists(m_waylandDisplay) &&
                   busCall({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                            "--object-path", "/org/freedesktop/DBus", "--method",
                            "org.freedesktop.DBus.GetNameOwner", "org.kde.KWin"});
        },
        20);
    if (m_kwin < 0 || !up) {
        fail(m_kwin < 0 ? "KWin exited at start" : "KWin did not take org.kde.KWin");
        return;
    }
    // KWin serves /Scripting a moment after it owns its name.
    if (!waitUntil([&] { return windows().has_value(); }, 10)) {
        fail("KWin does not run scripts");
        return;
    }
    m_ok = true;
}

bool KWinSession::busCall(const std::vector<std::string>& arguments) const {
    return runTool(arguments,
                   ChildProcess::overridden(ChildProcess::currentEnvironment(),
                                            {"DBUS_SESSION_BUS_ADDRESS=" + m_busAddress}));
}

pid_t KWinSession::spawn(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment) {
    ChildProcess child(argv);
    child.environment = ChildProcess::overridden(clientEnvironment(), environment);
    if (std::getenv("HALVO_TEST_VERBOSE"))
        child.errorFd = STDERR_FILENO;
    const pid_t pid = child.start();
    m_clients.push_back(pid);
    return pid;
}

void KWinSession::stopKWin() {
    ChildProcess::end(m_kwin);
    m_kwin = -1;
    ChildProcess::end(m_bus);
    m_bus = -1;
}

bool KWinSession::runScript(const std::string& source) const {
    const std::string name = "halvo-test-" + std::to_string(++m_scripts);
    const std::string path = m_folder + "/" + name + ".js";
    std::ofstream(path) << source;
    const std::vector<std::string> call = {"gdbus",      "call",         "--session",
                                           "--dest",     "org.kde.KWin", "--object-path",
                                           "/Scripting", "--method"};
    auto with = [&](std::vector<std::string> tail) {
        std::vector<std::string> argv = call;
        argv.insert(argv.end(), tail.begin(), tail.end());
        return busCall(argv);
    };
    const bool ran = with({"org.kde.kwin.Scripting.loadScript", path, name}) &&
                     with({"org.kde.kwin.Scripting.start"});
    with({"org.kde.kwin.Scripting.unloadScript", name});
    return ran;
}

std::optional<std::vector<KWinSession::Window>> KWinSession::windows() const {
    const std::size_t before = log().size();
    if (!runScript(windowsScript(getpid())))
        return std::nullopt;
    std::string line;
    waitUntil(
        [&] {
            const std::string text = log();
            const auto at = text.find(windowMarker, before);
            if (at == std::string::npos)
                return false;
            const auto end = text.find('\n', at);
            if (end == std::string::npos)
                return false;
            line = text.substr(at + std::string(windowMarker).size(),
                               end - at - std::string(windowMarker).size());
            return true;
        },
        5);
    const nlohmann::json list = nlohmann::json::parse(line, nullptr, false);
    if (!list.is_array())
        return std::nullopt;
    std::vector<Window> windows;
    for (const auto& w : list) {
        windows.push_back({w.value("pid", 0), w.value("app", ""), w.value("x", 0), w.value("y", 0),
                           w.value("w", 0), w.value("h", 0), w.value("fullScreen", false),
                           w.value("active", false), w.value("minimized", false),
                           w.value("managed", false), w.value("stack", 0)});
    }
    return windows;
}

bool KWinSession::placeAndActivate(const std::string& appKey, int x, int y) const {
    const std::string source = R"JS(
var plasma6 = typeof workspace.windowList === "function";
var all = plasma6 ? workspace.windowList() : workspace.clientList();
for (var i = 0; i < all.length; ++i) {
    var w = all[i];
    if (!w.managed || String(w.desktopFileName || w.resourceClass) !== ")JS" +
                               appKey + R"JS(") continue;
    var g = w.frameGeometry;
    w.frameGeometry = {x: )JS" +
                               std::to_string(x) + ", y: " + std::to_string(y) +
                               R"JS(, width: g.width, height: g.height};
    if (plasma6) workspace.activeWindow = w; else workspace.activeClient = w;
    break;
}
)JS";
    // A window that has only just appeared may still be placed by KWin after the script ran:
    // the script runs again until the place holds.
    return waitUntil(
        [&] {
            if (!runScript(source))
                return false;
            return waitUntil(
                [&] {
                    for (const Window& window : windows().value_or(std::vector<Window>{})) {
                        if (window.appKey == appKey && window.managed)
                            return window.x == x && window.y == y && window.active;
                    }
                    return false;
                },
                1);
        },
        10);
}

bool KWinSession::hasSurfaces(pid_t pid) const {
    const auto list = windows();
    return list && std::any_of(list->begin(), list->end(),
                               [&](const Window& window) { return window.pid == pid; });
}

std::optional<KWinSession::Window> KWinSession::waitForWindow(const std::string& appKey,
                                                              double seconds) const {
    std::optional<Window> found;
    waitUntil(
        [&] {
            if (const auto list = windows()) {
                for (const Window& window : *list) {
                    if (window.appKey == appKey && window.managed) {
                        found = window;
                        return true;
                    }
                }
            }
            return false;
        },
        seconds);
    return found;
}

std::string KWinSession::log() const {
    return readFile(m_folder + "/kwin.log");
}

bool KWinSession::waitUntil(const std::function<bool()>& pred, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

} // namespace halvo::test
