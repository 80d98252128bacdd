// Private X sessions for tests: Xvfb -displayfd picks a free display, so tests run in parallel.
#include "support/XvfbSession.h"

#include "support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace halvo::test {
namespace {

// Output goes to /dev/null unless HALVO_TEST_VERBOSE is set.
pid_t spawnProcess(const std::vector<std::string>& argv, int keepFd = -1) {
    ChildProcess child(argv);
    if (std::getenv("HALVO_TEST_VERBOSE")) {
        child.outputFd = STDOUT_FILENO;
        child.errorFd = STDERR_FILENO;
    }
    child.keepFd = keepFd;
    return child.start();
}

bool canConnect(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return ok;
}

// Reads a window-list property of the root through a fresh connection.
std::vector<uint32_t> rootWindows(const std::string& display, const char* property) {
    std::vector<uint32_t> result;
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return result;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* atomReply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(property)), property), nullptr);
    if (atomReply) {
        auto* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, atomReply->atom, XCB_ATOM_WINDOW, 0, 4096), nullptr);
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            result.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        free(reply);
    }
    free(atomReply);
    xcb_disconnect(c);
    return result;
}

std::string windowClass(xcb_connection_t* c, xcb_window_t window) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
    std::string result;
    if (reply) {
        const char* data = static_cast<const char*>(xcb_get_property_value(reply));
        const int length = xcb_get_property_value_length(reply);
        const std::string both(data, static_cast<size_t>(length));
        const auto split = both.find('\0');
        if (split != std::string::npos)
            result = both.substr(split + 1, both.find('\0', split + 1) - split - 1);
    }
    free(reply);
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Openbox announces itself (_NET_SUPPORTING_WM_CHECK) before it is done starting, and a window
// mapped in between is never managed. So a probe window is mapped, again every 100 ms, until the
// window manager lists it.
bool waitUntilManaging(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    bool managed = false;
    for (int attempt = 0; attempt < 100 && !managed; ++attempt) {
        xcb_unmap_window(c, probe);
        xcb_map_window(c, probe);
        xcb_flush(c);
        managed = XvfbSession::waitUntil(
            [&] {
                const auto clients = rootWindows(display, "_NET_CLIENT_LIST");
                return std::find(clients.begin(), clients.end(), probe) != clients.end();
            },
            0.1);
    }
    xcb_destroy_window(c, probe);
    xcb_flush(c);
    XvfbSession::waitUntil(
        [&] {
            const auto clients = rootWindows(display, "_NET_CLIENT_LIST");
            return std::find(clients.begin(), clients.end(), probe) == clients.end();
        },
        2);
    xcb_disconnect(c);
    return managed;
}

} // namespace

XvfbSession::XvfbSession() : XvfbSession(Options{}) {}

XvfbSession::XvfbSession(Options options) : m_options(std::move(options)) {
    start();
}

XvfbSession::~XvfbSession() {
    for (pid_t pid : m_clients)
        ChildProcess::end(pid);
    ChildProcess::end(m_windowManager);
    ChildProcess::end(m_server);
    if (!m_tempDir.empty())
        std::system(("rm -rf '" + m_tempDir + "'").c_str());
}

void XvfbSession::start() {
    char dirTemplate[] = "/tmp/halvo-xvfb-XXXXXX";
    if (mkdtemp(dirTemplate))
        m_tempDir = dirTemplate;

    int fds[2];
    if (pipe(fds) != 0) {
        m_error = "pipe failed";
        return;
    }
    m_server = startServer(fds[1]);
    close(fds[1]);
    std::string number;
    char ch;
    while (read(fds[0], &ch, 1) == 1 && ch != '\n')
        number += ch;
    close(fds[0]);
    const char* serverName = m_options.xorgDummy ? "Xorg" : "Xvfb";
    if (number.empty()) {
        m_error = std::string(serverName) + " did not report a display";
        if (m_options.xorgDummy)
            m_error += ":\n" + readFile(m_tempDir + "/Xorg.log");
        return;
    }
    m_display = ":" + number;
    setenv("DISPLAY", m_display.c_str(), 1);
    if (!waitUntil([&] { return canConnect(m_display); }, 10)) {
        m_error = "cannot connect to " + m_display;
        return;
    }
    // Real outputs are there before the window manager starts, as on a desktop; Xvfb's monitors
    // are made once it runs, as they were always tested.
    if (m_options.xorgDummy && m_options.twoMonitors && !makeTwoMonitors())
        return;
    if (!m_options.windowManager.empty())
        startWindowManager();
    if (!m_error.empty())
        return;
    if (!m_options.xorgDummy && m_options.twoMonitors && !makeTwoMonitors())
        return;
    m_ok = true;
}

pid_t XvfbSession::startServer(int displayFd) {
    if (!m_options.xorgDummy) {
        const std::string geometry =
            std::to_string(m_options.width) + "x" + std::to_string(m_options.height) + "x24";
        return spawnProcess({"Xvfb", "-noreset", "-nolisten", "tcp", "-displayfd",
                             std::to_string(displayFd), "-screen", "0", geometry, "+extension",
                             "RANDR", "+extension", "XInputExtension"},
                            displayFd);
    }
    // Run as root, Xorg takes a -config file anywhere; -sharevts and -novtswitch keep it off
    // the console's virtual terminals, so that several run side by side.
    return spawnProcess({"Xorg", "-noreset", "-nolisten", "tcp", "-displayfd",
                         std::to_string(displayFd), "-config", writeXorgConfig(), "-logfile",
                         m_tempDir + "/Xorg.log", "-sharevts", "-novtswitch"},
                        displayFd);
}

// One dummy screen as wide as both monitors; no input devices but the server's virtual core
// keyboard and pointer, which XTEST drives.
std::string XvfbSession::writeXorgConfig() const {
    const std::string path = m_tempDir + "/xorg.conf";
    std::ofstream(path) << "Section \"ServerFlags\"\n"
                           "    Option \"AutoAddDevices\" \"false\"\n"
                           "    Option \"AutoAddGPU\" \"false\"\n"
                           "    Option \"DontVTSwitch\" \"true\"\n"
                           "EndSection\n"
                           "Section \"Device\"\n"
                           "    Identifier \"dummy\"\n"
                           "    Driver \"dummy\"\n"
                           "    VideoRam 65536\n"
                           "EndSection\n"
                           "Section \"Monitor\"\n"
                           "    Identifier \"monitor\"\n"
                           "    HorizSync 5.0-1000.0\n"
                           "    VertRefresh 5.0-200.0\n"
                           "EndSection\n"
                           "Section \"Screen\"\n"
                           "    Identifier \"screen\"\n"
                           "    Device \"dummy\"\n"
                           "    Monitor \"monitor\"\n"
                           "    DefaultDepth 24\n"
                           "    SubSection \"Display\"\n"
                           "        Depth 24\n"
                           "        Virtual "
                        << m_options.width << " " << m_options.height
                        << "\n"
                           "    EndSubSection\n"
                           "EndSection\n";
    return path;
}

bool XvfbSession::makeTwoMonitors() {
    const int half = m_options.width / 2;
    const std::string h = std::to_string(m_options.height);
    const std::string w = std::to_string(half);
    if (m_options.xorgDummy) {
        const std::string mode = w + "x" + h;
        run("xrandr --addmode DUMMY1 " + mode + " && xrandr --output DUMMY0 --mode " + mode +
            " --pos 0x0 --primary --output DUMMY1 --mode " + mode + " --pos " + w + "x0");
        if (run("xrandr --listactivemonitors").find("DUMMY1") == std::string::npos) {
            m_error = "could not turn on the output DUMMY1";
            return false;
        }
        return true;
    }
    run("xrandr --delmonitor screen >/dev/null 2>&1; xrandr --setmonitor '*LEFT' " + w + "/339x" +
        h + "/271+0+0 screen && xrandr --setmonitor RIGHT " + w + "/339x" + h + "/271+" + w +
        "+0 none");
    if (run("xrandr --listmonitors").find("RIGHT") == std::string::npos) {
        m_error = "could not create two monitors";
        return false;
    }
    return true;
}

std::string XvfbSession::writeOpenboxConfig() const {
    std::string config = readFile("/etc/xdg/openbox/rc.xml");
    if (!m_options.stockBindings) {
        // Drop the desktop-switching bindings that own Control+Alt+arrows.
        const std::regex binding(
            R"re(<keybind key="C-A-(Left|Right|Up|Down)">[\s\S]*?</keybind>)re");
        config = std::regex_replace(config, binding, "");
    }
    for (const std::string& key : m_options.droppedBindings) {
        const std::regex binding("<keybind key=\"" + key + "\">[\\s\\S]*?</keybind>");
        config = std::regex_replace(config, binding, "");
    }
    const std::regex desktops(R"(<number>\d+</number>)");
    config = std::regex_replace(config, desktops,
                                "<number>" + std::to_string(m_options.desktops) + "</number>",
                                std::regex_constants::format_first_only);
    const std::string path = m_tempDir + "/rc.xml";
    std::ofstream(path) << config;
    return path;
}

// fluxbox reads ~/.fluxbox (this session's folder is its home) and rewrites an init file of an
// older configuration version there, so the whole folder is written, up to date.
std::string XvfbSession::writeFluxboxConfig() const {
    const std::string dir = m_tempDir + "/.fluxbox";
    std::system(("mkdir -p '" + dir + "'").c_str());
    std::string keys = readFile("/etc/X11/fluxbox/keys");
    if (!m_options.stockBindings) {
        const std::regex binding(R"(\n\s*Control Mod1 (Left|Right|Up|Down) [^\n]*)");
        keys = std::regex_replace(keys, binding, "");
    }
    std::ofstream(dir + "/keys") << keys;
    // fluxbox's wallpaper helper opens a message box when it fails: leave the background alone.
    std::ofstream(dir + "/overlay") << "background: none\n";
    std::ofstream(dir + "/init") << "session.configVersion: 13\n"
                                 << "session.keyFile: " << dir << "/keys\n"
                                 << "session.styleOverlay: " << dir << "/overlay\n"
                                 << "session.menuFile: /etc/X11/fluxbox/fluxbox-menu\n"
                                 << "session.screen0.workspaces: " << m_options.desktops << "\n";
    return dir + "/init";
}

std::string XvfbSession::writeIcewmConfig() const {
    const std::string dir = m_tempDir + "/icewm";
    std::system(("mkdir -p '" + dir + "'").c_str());
    std::ofstream preferences(dir + "/preferences");
    if (!m_options.stockBindings) {
        preferences << "KeySysWorkspacePrev=\"\"\nKeySysWorkspaceNext=\"\"\n"
                       "KeySysWorkspaceLast=\"\"\n";
    }
    preferences << "WorkspaceNames=";
    for (int i = 1; i <= m_options.desktops; ++i)
        preferences << (i > 1 ? ", " : "") << '"' << i << '"';
    preferences << "\n";
    return dir;
}

// xfwm4 reads its key bindings and workspace count through xfconf: xfconfd (started on a private
// session bus) reads the user's channel files from this session's folder. System defaults cannot
// be removed there, only overridden: the Control+Alt+arrow bindings are given no action.
std::string XvfbSession::writeXfwm4Config() const {
    const std::string home = m_tempDir + "/xfwm4-home";
    const std::string channels = home + "/xfce4/xfconf/xfce-perchannel-xml";
    std::system(("mkdir -p '" + channels + "'").c_str());
    std::ofstream shortcuts(channels + "/xfce4-keyboard-shortcuts.xml");
    shortcuts << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<channel name=\"xfce4-keyboard-shortcuts\" version=\"1.0\">\n"
                 "  <property name=\"xfwm4\" type=\"empty\">\n";
    for (const char* section : {"default", "custom"}) {
        shortcuts << "    <property name=\"" << section << "\" type=\"empty\">\n";
        for (const char* arrow : {"Left", "Right", "Up", "Down"}) {
            if (!m_options.stockBindings)
                shortcuts << "      <property name=\"&lt;Primary&gt;&lt;Alt&gt;" << arrow
                          << "\" type=\"string\" value=\"\"/>\n";
        }
        shortcuts << "    </property>\n";
    }
    shortcuts << "  </property>\n</channel>\n";
    std::ofstream(channels + "/xfwm4.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<channel name=\"xfwm4\" version=\"1.0\">\n"
           "  <property name=\"general\" type=\"empty\">\n"
           "    <property name=\"workspace_count\" type=\"int\" value=\""
        << m_options.desktops
        << "\"/>\n"
           "    <property name=\"use_compositing\" type=\"bool\" value=\"false\"/>\n"
           "  </property>\n</channel>\n";
    return home;
}

// Stock i3 starts i3-config-wizard, which grabs the keyboard until someone answers it: a user
// past the first run has a configuration, so the line is left out. i3 binds nothing with
// Control+Alt.
std::string XvfbSession::writeI3Config() const {
    std::string config = readFile("/etc/i3/config");
    config = std::regex_replace(config, std::regex(R"(\nexec i3-config-wizard[^\n]*)"), "");
    const std::string path = m_tempDir + "/i3-config";
    std::ofstream(path) << config;
    return path;
}

// Stock herbstluftwm (Mod is Alt) resizes frames with Control+Alt+arrows; its autostart is
// copied without those, and detect_monitors is added so that it sees both outputs.
std::string XvfbSession::writeHerbstluftwmConfig() const {
    std::string config = readFile("/etc/xdg/herbstluftwm/autostart");
    if (!m_options.stockBindings) {
        const std::regex binding(R"(\nhc keybind \$Mod-Control-(Left|Right|Up|Down) [^\n]*)");
        config = std::regex_replace(config, binding, "");
    }
    // The autostart runs beside the window manager: clients started before it ends would miss
    // its rules (focus=on among them), so it says when it is done.
    config += "\nhc detect_monitors\ntouch '" + m_tempDir + "/herbstluftwm-ready'\n";
    const std::string path = m_tempDir + "/herbstluftwm-autostart";
    std::ofstream(path) << config;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// marco and mutter read their key bindings through GSettings; the keyfile backend reads this
// session's folder. mutter's and marco's Control+Alt+arrows switch workspaces: they are given
// only their other bindings.
std::string XvfbSession::writeGSettingsKeyfile() const {
    const std::string home = m_tempDir + "/gsettings-home";
    std::filesystem::create_directories(home + "/glib-2.0/settings");
    std::ofstream keyfile(home + "/glib-2.0/settings/keyfile");
    if (!m_options.stockBindings) {
        keyfile << "[org/gnome/desktop/wm/keybindings]\n"
                   "switch-to-workspace-left=['<Super>Page_Up', '<Super><Alt>Left']\n"
                   "switch-to-workspace-right=['<Super>Page_Down', '<Super><Alt>Right']\n"
                   "switch-to-workspace-up=@as []\n"
                   "switch-to-workspace-down=@as []\n"
                   "\n[org/mate/marco/global-keybindings]\n";
        for (const char* direction : {"left", "right", "up", "down"})
            keyfile << "switch-to-workspace-" << direction << "='disabled'\n";
    }
    return home;
}

void XvfbSession::writeGSettings(const std::string& keyfile) const {
    // Renamed into place: the window manager's file monitor never reads half a file.
    const std::string path = m_tempDir + "/gsettings-home/glib-2.0/settings/keyfile";
    std::ofstream(path + ".new") << keyfile;
    std::filesystem::rename(path + ".new", path);
}

std::vector<std::string> XvfbSession::windowManagerCommand() const {
    const std::string& name = m_options.windowManager;
    // The others get this session's folder as their home, so that none reads or writes the
    // user's own configuration (openbox is given its whole configuration on the command line).
    const std::string home = "HOME=" + m_tempDir;
    if (name == "openbox")
        return {"openbox", "--config-file", writeOpenboxConfig()};
    if (name == "fluxbox")
        return {"env", home, "fluxbox", "-rc", writeFluxboxConfig()};
    if (name == "icewm")
        return {"env", home, "ICEWM_PRIVCFG=" + writeIcewmConfig(), "icewm"};
    if (name == "xfwm4") {
        return {"env",
                home,
                "XDG_CONFIG_HOME=" + writeXfwm4Config(),
                "NO_AT_BRIDGE=1",
                "dbus-run-session",
                "--",
                "xfwm4",
                "--compositor=off"};
    }
    if (name == "i3")
        return {"env", home, "i3", "-c", writeI3Config()};
    if (name == "herbstluftwm")
        return {"env", home, "herbstluftwm", "--autostart", writeHerbstluftwmConfig()};
    if (name == "awesome")
        return {"env", home, "XDG_CONFIG_HOME=" + m_tempDir + "/awesome-home", "awesome"};
    // The desktops' window managers want a session bus, as in their own sessions.
    if (name == "marco" || name == "mutter") {
        std::vector<std::string> command = {"env",
                                            home,
                                            "XDG_CONFIG_HOME=" + writeGSettingsKeyfile(),
                                            "GSETTINGS_BACKEND=keyfile",
                                            "NO_AT_BRIDGE=1",
                                            "dbus-run-session",
                                            "--"};
        if (name == "marco")
            command.insert(command.end(), {"marco", "--no-composite", "--sm-disable"});
        else
            command.insert(command.end(), {"mutter", "--x11", "--sm-disable"});
        return command;
    }
    if (name == "kwin_x11") {
        return {"env",
                home,
                "XDG_CONFIG_HOME=" + m_tempDir + "/kwin-home",
                "KWIN_COMPOSE=N",
                "QT_QPA_PLATFORM=xcb",
                "dbus-run-session",
                "--",
                "kwin_x11"};
    }
    return {"env", home, name};
}

void XvfbSession::startWindowManager() {
    m_windowManager = spawnProcess(windowManagerCommand());
    if (!waitUntil([&] { return windowManagerCheck() != 0; }, 15)) {
        m_error = "window manager " + m_options.windowManager + " did not start";
        return;
    }
    if (!waitUntilManaging(m_display))
        m_error = "window manager " + m_options.windowManager + " does not manage windows";
    if (m_options.windowManager == "herbstluftwm" &&
        !waitUntil([&] { return std::filesystem::exists(m_tempDir + "/herbstluftwm-ready"); }))
        m_error = "herbstluftwm's autostart did not finish";
}

bool XvfbSession::replaceWindowManager(const std::string& windowManager) {
    ChildProcess::end(m_windowManager);
    m_windowManager = -1;
    waitUntil([&] { return windowManagerCheck() == 0; }, 5);
    m_options.windowManager = windowManager;
    m_error.clear();
    if (!windowManager.empty())
        startWindowManager();
    return m_error.empty();
}

void XvfbSession::killServer() {
    if (m_server <= 0)
        return;
    ::kill(m_server, SIGKILL);
    waitpid(m_server, nullptr, 0);
    m_server = -1;
}

unsigned long XvfbSession::windowManagerCheck() const {
    const auto check = rootWindows(m_display, "_NET_SUPPORTING_WM_CHECK");
    if (check.empty() || check.front() == 0)
        return 0;
    // The window must still exist: a window manager that died leaves the root property behind.
    xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return 0;
    }
    auto* reply =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, check.front()), nullptr);
    const bool exists = reply != nullptr;
    free(reply);
    xcb_disconnect(c);
    return exists ? check.front() : 0;
}

pid_t XvfbSession::spawn(const std::vector<std::string>& argv) {
    const pid_t pid = spawnProcess(argv);
    m_clients.push_back(pid);
    return pid;
}

pid_t XvfbSession::forkClient(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        // Nothing of the parent's: its X connections and pipes stay the parent's alone.
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        _exit(body());
    }
    if (pid > 0)
        m_clients.push_back(pid);
    return pid;
}

void XvfbSession::kill(pid_t pid) {
    ChildProcess::end(pid);
    std::erase(m_clients, pid);
}

std::string XvfbSession::run(const std::string& command) const {
    const std::string full = "DISPLAY=" + m_display + " " + command;
    std::string output;
    if (FILE* pipe = popen(full.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

bool XvfbSession::waitUntil(const std::function<bool()>& pred, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

unsigned long XvfbSession::waitForClientWindow(const std::string& wmClass, double seconds) const {
    unsigned long found = 0;
    waitUntil(
        [&] {
            xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
            for (uint32_t window : rootWindows(m_display, "_NET_CLIENT_LIST")) {
                if (windowClass(c, window) == wmClass) {
                    found = window;
                    break;
                }
            }
            xcb_disconnect(c);
            return found != 0;
        },
        seconds);
    return found;
}

unsigned long XvfbSession::activeWindow() const {
    const auto windows = rootWindows(m_display, "_NET_ACTIVE_WINDOW");
    return windows.empty() ? 0 : windows.front();
}

} // namespace halvo::test
