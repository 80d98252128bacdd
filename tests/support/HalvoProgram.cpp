// Starting and watching the halvo binary the build produced.
#include "support/HalvoProgram.h"

#include "support/ChildProcess.h"
#include "support/XvfbSession.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace halvo::test {

HalvoProgram::HalvoProgram(const std::string& configHome, std::vector<std::string> arguments,
                           const Environment& environment, const std::string& binary) {
    // Each process of a test gets its own log beside the settings.
    static int launches = 0;
    m_logPath = configHome + "/halvo-" + std::to_string(++launches) + ".log";
    const int logFd = ::open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> set = {"XDG_CONFIG_HOME=" + configHome,
                                    "XDG_RUNTIME_DIR=" + configHome, "LANG=C.UTF-8",
                                    "QT_QPA_PLATFORM=xcb"};
    for (const auto& [name, value] : environment)
        set.push_back(name + "=" + value);
    arguments.insert(arguments.begin(), binary.empty() ? std::string(HALVO_BINARY) : binary);
    ChildProcess halvo(std::move(arguments));
    // The X11 program unless a test asks for sway, even inside a Wayland session.
    const std::vector<std::string> unset = {"HALVO_NO_CONTROLLER", "LANGUAGE", "LC_ALL",
                                            "WAYLAND_DISPLAY", "SWAYSOCK"};
    halvo.environment = ChildProcess::overridden(ChildProcess::currentEnvironment(), set, unset);
    halvo.outputFd = logFd;
    halvo.errorFd = logFd;
    m_pid = halvo.start();
    ::close(logFd);
}

HalvoProgram::~HalvoProgram() {
    if (m_status || m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}

std::string HalvoProgram::log() const {
    std::ifstream in(m_logPath);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool HalvoProgram::waitForLog(const std::string& text, double seconds) const {
    return XvfbSession::waitUntil([&] { return log().find(text) != std::string::npos; }, seconds);
}

void HalvoProgram::signal(int number) const {
    if (!m_status)
        ::kill(m_pid, number);
}

bool HalvoProgram::running() {
    if (m_pid <= 0 || m_status)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid)
        return true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> HalvoProgram::waitForExit(double seconds) {
    XvfbSession::waitUntil([&] { return !running(); }, seconds);
    return m_status;
}

int HalvoProgram::openDescriptors() const {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator entry("/proc/" + std::to_string(m_pid) + "/fd", error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
        ++count;
    return count;
}

long HalvoProgram::residentKiB() const {
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

} // namespace halvo::test
