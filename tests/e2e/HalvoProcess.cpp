// Starting and watching the halvo binary the build produced.
#include "e2e/HalvoProcess.h"

#include "support/XvfbSession.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace halvo::test {

HalvoProcess::HalvoProcess(const std::string& configHome, std::vector<std::string> arguments,
                           const Environment& environment) {
    // Each process of a test gets its own log beside the settings.
    static int launches = 0;
    m_logPath = configHome + "/halvo-" + std::to_string(++launches) + ".log";
    const int logFd = ::open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    m_pid = fork();
    if (m_pid != 0) {
        ::close(logFd);
        return;
    }
    setpgid(0, 0);
    const int devnull = ::open("/dev/null", O_RDONLY);
    dup2(devnull, STDIN_FILENO);
    dup2(logFd, STDOUT_FILENO);
    dup2(logFd, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        ::close(fd);
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", configHome.c_str(), 1);
    setenv("LANG", "C.UTF-8", 1);
    unsetenv("LANGUAGE");
    unsetenv("LC_ALL");
    // The X11 program, even when the tests run inside a Wayland session.
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SWAYSOCK");
    for (const auto& [name, value] : environment)
        setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(HALVO_BINARY)};
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(HALVO_BINARY, argv.data());
    _exit(127);
}

HalvoProcess::~HalvoProcess() {
    if (m_status || m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}

std::string HalvoProcess::log() const {
    std::ifstream in(m_logPath);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool HalvoProcess::waitForLog(const std::string& text, double seconds) const {
    return XvfbSession::waitUntil([&] { return log().find(text) != std::string::npos; }, seconds);
}

void HalvoProcess::signal(int number) const {
    if (!m_status)
        ::kill(m_pid, number);
}

std::optional<int> HalvoProcess::waitForExit(double seconds) {
    XvfbSession::waitUntil(
        [&] {
            if (m_status)
                return true;
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) != m_pid)
                return false;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        seconds);
    return m_status;
}

} // namespace halvo::test
