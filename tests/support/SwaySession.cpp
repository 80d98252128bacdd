// Private headless sway sessions for tests. sway refuses to run as root, so a root test process
// (as in CI) runs it as an unprivileged system user created on first use; that user owns the
// session's folder and its XDG_RUNTIME_DIR (mode 0700). The root test process still opens both
// sockets there (root may open any file), so its own Wayland clients and swaymsg need no help;
// a test process that is not root runs sway as itself.
#include "support/SwaySession.h"

#include "support/ChildProcess.h"
#include "support/XvfbSession.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* testUserName = "halvo-sway";

struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name;
};

std::optional<Account> lookUpAccount(const char* name) {
    const passwd* entry = getpwnam(name);
    if (!entry)
        return std::nullopt;
    return Account{entry->pw_uid, entry->pw_gid, entry->pw_name};
}

// Creates the test user once. Tests start in parallel: a useradd that loses the race for
// /etc/passwd's lock, or finds the user just made by another, fails; so it is retried until the
// user exists.
std::optional<Account> unprivilegedAccount() {
    std::optional<Account> account;
    SwaySession::waitUntil(
        [&] {
            account = lookUpAccount(testUserName);
            if (account)
                return true;
            const std::string useradd =
                std::string("useradd --system --user-group --no-create-home "
                            "--home-dir /nonexistent --shell "
                            "/usr/sbin/nologin ") +
                testUserName + " >/dev/null 2>&1";
            if (std::system(useradd.c_str()) != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            account = lookUpAccount(testUserName);
            return account.has_value();
        },
        20);
    return account;
}

Account currentAccount() {
    const passwd* entry = getpwuid(getuid());
    return {getuid(), getgid(), entry ? entry->pw_name : "user"};
}

// Starts argv with exactly `environment`, as `account` when given, standard output and error going
// to `outputFd` and `errorFd` (-1: /dev/null), in `dir`.
pid_t startProcess(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment,
                   const std::optional<Account>& account, int outputFd, int errorFd,
                   const std::string& dir) {
    ChildProcess child(argv);
    child.environment = environment;
    child.outputFd = outputFd;
    child.errorFd = errorFd;
    child.dir = dir;
    if (account)
        child.user = std::pair{account->uid, account->gid};
    return child.start();
}

// Runs a tool as this process (swaymsg, grim), with its environment plus `extra`, and returns its
// exit status and standard output.
std::pair<int, std::string> capture(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& extra = {}) {
    int fds[2];
    if (pipe(fds) != 0)
        return {-1, {}};
    const int errors = std::getenv("HALVO_TEST_VERBOSE") ? STDERR_FILENO : -1;
    const pid_t pid =
        startProcess(argv, ChildProcess::overridden(ChildProcess::currentEnvironment(), extra),
                     std::nullopt, fds[1], errors, {});
    close(fds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
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

bool makeOwnedFolder(const std::string& path, const Account& owner) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return chown(path.c_str(), owner.uid, owner.gid) == 0 && chmod(path.c_str(), 0700) == 0;
}

} // namespace

SwaySession::SwaySession() : SwaySession(Options{}) {}

SwaySession::SwaySession(Options options) : m_options(std::move(options)) {
    start();
}

SwaySession::~SwaySession() {
    for (pid_t pid : m_clients)
        ChildProcess::end(pid);
    ChildProcess::end(m_sway);
    if (!m_folder.empty()) {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
}

void SwaySession::fail(const std::string& what) {
    m_error = what;
    if (!m_folder.empty())
        m_error += "; sway's log ends:" + lastLines(m_folder + "/sway.log", 15);
}

bool SwaySession::prepareFolder() {
    std::optional<Account> account;
    if (getuid() == 0) {
        account = unprivilegedAccount();
        if (!account) {
            m_error = std::string("could not create the unprivileged user ") + testUserName;
            return false;
        }
    } else {
        account = currentAccount();
    }
    m_uid = account->uid;
    m_gid = account->gid;
    char folderTemplate[] = "/tmp/halvo-sway-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        m_error = "mkdtemp failed";
        return false;
    }
    m_folder = folderTemplate;
    m_runtimeDir = m_folder + "/run";
    m_home = m_folder + "/home";
    if (!makeOwnedFolder(m_folder, *account) || !makeOwnedFolder(m_runtimeDir, *account) ||
        !makeOwnedFolder(m_home, *account)) {
        m_error = "could not prepare " + m_folder + " for " + account->name;
        return false;
    }
    return true;
}

std::string SwaySession::writeConfig() const {
    const std::string size =
        std::to_string(m_options.outputWidth) + "x" + std::to_string(m_options.outputHeight);
    const std::string path = m_folder + "/config";
    std::ofstream config(path);
    config << "# A bare session for tests: no bindings, no bar, no Xwayland.\n"
           << "xwayland disable\n"
           << "output HEADLESS-1 mode " << size << " position 0 0\n"
           << "output HEADLESS-2 mode " << size << " position " << m_options.outputWidth << " 0\n"
           << m_options.extraConfig << "\n";
    config.close();
    return path;
}

void SwaySession::start() {
    if (!prepareFolder())
        return;
    const std::string config = writeConfig();
    const std::string logPath = m_folder + "/sway.log";
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::vector<std::string> environment = clientEnvironment(
        {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"});
    std::optional<Account> account;
    if (getuid() == 0)
        account = Account{m_uid, m_gid, testUserName};
    m_sway = startProcess({"sway", "-c", config}, environment, account, log, log, m_home);
    close(log);
    if (!waitForSockets())
        return;
    if (m_options.twoOutputs && !addSecondOutput())
        return;
    m_ok = true;
}

// The runtime folder is this session's alone, so the sockets in it are sway's.
bool SwaySession::waitForSockets() {
    const bool appeared = waitUntil(
        [&] {
            int status = 0;
            if (waitpid(m_sway, &status, WNOHANG) == m_sway) {
                m_sway = -1;
                return true;
            }
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(m_runtimeDir, error)) {
                const std::string name = entry.path().filename();
                if (name.starts_with("sway-ipc.") && name.ends_with(".sock"))
                    m_swaySocket = entry.path();
                else if (name.starts_with("wayland-") && !name.ends_with(".lock"))
                    m_waylandName = name;
            }
            return !m_swaySocket.empty() && !m_waylandName.empty();
        },
        20);
    if (m_sway < 0) {
        fail("sway exited at start");
        return false;
    }
    if (!appeared) {
        fail("sway's sockets did not appear in " + m_runtimeDir);
        return false;
    }
    m_waylandDisplay = m_runtimeDir + "/" + m_waylandName;
    if (!waitUntil([&] { return !query("get_version").is_null(); }, 10)) {
        fail("sway's IPC socket does not answer");
        return false;
    }
    return true;
}

bool SwaySession::addSecondOutput() {
    if (!command("create_output")) {
        fail("create_output failed");
        return false;
    }
    const int width = m_options.outputWidth;
    const int height = m_options.outputHeight;
    // The configuration places both outputs as soon as they exist; wait until it has.
    const bool placed = waitUntil(
        [&] {
            const nlohmann::json outputs = query("get_outputs");
            int matching = 0;
            for (const auto& output : outputs.is_array() ? outputs : nlohmann::json::array()) {
                const auto& rect = output.value("rect", nlohmann::json::object());
                const int x = output.value("name", "") == "HEADLESS-2" ? width : 0;
                if (rect.value("x", -1) == x && rect.value("y", -1) == 0 &&
                    rect.value("width", 0) == width && rect.value("height", 0) == height)
                    ++matching;
            }
            return matching == 2;
        },
        10);
    if (!placed)
        fail("the two outputs were not placed side by side: " + query("get_outputs").dump());
    return placed;
}

std::vector<std::string>
SwaySession::clientEnvironment(const std::vector<std::string>& extra) const {
    const char* path = std::getenv("PATH");
    const passwd* entry = getpwuid(m_uid);
    const std::string user = entry ? entry->pw_name : testUserName;
    std::vector<std::string> environment = {
        "HOME=" + m_home,
        "USER=" + user,
        "LOGNAME=" + user,
        "SHELL=/bin/sh",
        std::string("PATH=") + (path ? path : "/usr/local/bin:/usr/bin:/bin"),
        "LANG=C.UTF-8",
        "XDG_RUNTIME_DIR=" + m_runtimeDir,
    };
    if (!m_waylandName.empty())
        environment.push_back("WAYLAND_DISPLAY=" + m_waylandName);
    if (!m_swaySocket.empty())
        environment.push_back("SWAYSOCK=" + m_swaySocket);
    return ChildProcess::overridden(environment, extra);
}

void SwaySession::exportEnvironment() const {
    setenv("SWAYSOCK", m_swaySocket.c_str(), 1);
    setenv("WAYLAND_DISPLAY", m_waylandDisplay.c_str(), 1);
}

pid_t SwaySession::spawn(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment) {
    std::optional<Account> account;
    if (getuid() == 0)
        account = Account{m_uid, m_gid, testUserName};
    const int output = std::getenv("HALVO_TEST_VERBOSE") ? STDERR_FILENO : -1;
    const pid_t pid =
        startProcess(argv, clientEnvironment(environment), account, output, output, m_home);
    if (pid > 0)
        m_clients.push_back(pid);
    return pid;
}

void SwaySession::kill(pid_t pid) {
    ChildProcess::end(pid);
    std::erase(m_clients, pid);
}

bool SwaySession::command(const std::string& command) const {
    const auto [status, output] = capture({"swaymsg", "-s", m_swaySocket, "-r", "--", command});
    if (status != 0)
        return false;
    const nlohmann::json replies = nlohmann::json::parse(output, nullptr, false);
    if (!replies.is_array() || replies.empty())
        return false;
    for (const auto& reply : replies) {
        if (!reply.value("success", false))
            return false;
    }
    return true;
}

nlohmann::json SwaySession::query(const std::string& type, const std::string& payload) const {
    std::vector<std::string> argv = {"swaymsg", "-s", m_swaySocket, "-r", "-t", type};
    if (!payload.empty())
        argv.insert(argv.end(), {"--", payload});
    const auto [status, output] = capture(argv);
    if (status != 0)
        return nullptr;
    nlohmann::json reply = nlohmann::json::parse(output, nullptr, false);
    return reply.is_discarded() ? nullptr : reply;
}

std::optional<long> SwaySession::waitForWindow(const std::string& appID, double seconds) const {
    std::optional<long> found;
    const std::function<void(const nlohmann::json&)> search = [&](const nlohmann::json& node) {
        if (found || !node.is_object())
            return;
        if (node.value("app_id", nlohmann::json()).is_string() && node["app_id"] == appID) {
            found = node.value("id", 0L);
            return;
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const auto& child : node.value(children, nlohmann::json::array()))
                search(child);
        }
    };
    waitUntil(
        [&] {
            search(query("get_tree"));
            return found.has_value();
        },
        seconds);
    return found;
}

bool SwaySession::screenshot(const std::string& path, const std::string& output) const {
    std::vector<std::string> argv = {"grim"};
    if (!output.empty())
        argv.insert(argv.end(), {"-o", output});
    argv.push_back(path);
    return capture(argv, {"WAYLAND_DISPLAY=" + m_waylandDisplay}).first == 0;
}

bool SwaySession::waitUntil(const std::function<bool()>& pred, double seconds) {
    return XvfbSession::waitUntil(pred, seconds);
}

} // namespace halvo::test
