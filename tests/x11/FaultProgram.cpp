// Running build/halvo under a private X session and watching it from outside.
#include "x11/FaultProgram.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace halvo::test {
namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string windowClass(xcb_connection_t* c, xcb_window_t window) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
    std::string result;
    if (reply) {
        const std::string both(static_cast<const char*>(xcb_get_property_value(reply)),
                               static_cast<size_t>(xcb_get_property_value_length(reply)));
        const auto split = both.find('\0');
        if (split != std::string::npos)
            result = both.substr(split + 1, both.find('\0', split + 1) - split - 1);
    }
    free(reply);
    return result;
}

// WM_NAME as Latin-1/UTF-8 text; empty when unset.
std::string windowName(xcb_connection_t* c, xcb_window_t window) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
        nullptr);
    std::string result;
    if (reply)
        result.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                      static_cast<size_t>(xcb_get_property_value_length(reply)));
    free(reply);
    return result;
}

} // namespace

FaultProgram::FaultProgram(XvfbSession& session) : m_session(session) {
    char dirTemplate[] = "/tmp/halvo-program-XXXXXX";
    if (mkdtemp(dirTemplate))
        m_dir = dirTemplate;
    m_configHome = m_dir / "config";
    std::filesystem::create_directories(m_configHome);
}

FaultProgram::~FaultProgram() {
    if (running()) {
        ::kill(m_pid, SIGTERM);
        if (!waitForExit(5)) {
            ::kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    std::error_code ignored;
    // A test may have made folders read-only; give them back before removing everything.
    std::filesystem::permissions(m_configHome / "halvo", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_dir, ignored);
}

bool FaultProgram::start(const std::vector<std::string>& environment) {
    const std::string logPath = (m_dir / "halvo.log").string();
    const std::string display = m_session.display();
    m_pid = fork();
    if (m_pid == 0) {
        setpgid(0, 0);
        const int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, STDIN_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_configHome.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        unsetenv("HALVO_NO_CONTROLLER");
        // The X11 program, even when the tests run inside a Wayland session.
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SWAYSOCK");
        for (const std::string& entry : environment)
            putenv(strdup(entry.c_str()));
        execl(HALVO_BINARY, HALVO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    return XvfbSession::waitUntil([&] { return !running() || overlay(false).has_value(); }, 15) &&
           running();
}

bool FaultProgram::running() {
    if (m_pid <= 0 || m_status)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid)
        return true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return false;
}

std::optional<int> FaultProgram::waitForExit(double seconds) {
    XvfbSession::waitUntil([&] { return !running(); }, seconds);
    return m_status;
}

std::string FaultProgram::log() const {
    std::ifstream in(m_dir / "halvo.log");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool FaultProgram::waitForLog(const std::string& text, double seconds) const {
    return XvfbSession::waitUntil([&] { return log().find(text) != std::string::npos; }, seconds);
}

std::optional<FaultProgram::Window> FaultProgram::overlay(bool mappedOnly) const {
    xcb_connection_t* c = xcb_connect(m_session.display().c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return std::nullopt;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::optional<Window> found;
    if (auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr)) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        for (int i = 0; i < count && !found; ++i) {
            auto* attributes = xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, children[i]), nullptr);
            const bool candidate = attributes && attributes->override_redirect &&
                                   (!mappedOnly || attributes->map_state == XCB_MAP_STATE_VIEWABLE);
            free(attributes);
            // Other override-redirect windows of Halvo (the tray menu) exist before the
            // overlay, which is built only once the shortcut is running.
            if (!candidate || lowered(windowClass(c, children[i])) != "halvo" ||
                windowName(c, children[i]) != "Halvo overlay")
                continue;
            if (auto* geometry =
                    xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr)) {
                found = Window{children[i], geometry->x, geometry->y, geometry->width,
                               geometry->height};
                free(geometry);
            }
        }
        free(tree);
    }
    xcb_disconnect(c);
    return found;
}

long FaultProgram::residentKiB() const {
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

} // namespace halvo::test
