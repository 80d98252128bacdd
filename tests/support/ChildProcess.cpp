// Starting and ending the processes of a test.
#include "support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace halvo::test {
namespace {

std::vector<char*> cStrings(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (const auto& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

} // namespace

pid_t ChildProcess::start() const {
    const std::vector<char*> args = cStrings(argv);
    const std::vector<std::string> whole = environment.value_or(currentEnvironment());
    const std::vector<char*> env = cStrings(whole);
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    setpgid(0, 0);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, STDIN_FILENO);
    dup2(outputFd >= 0 ? outputFd : devnull, STDOUT_FILENO);
    dup2(errorFd >= 0 ? errorFd : devnull, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != keepFd)
            close(fd);
    }
    if (user) {
        const gid_t gid = user->second;
        if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(user->first) != 0)
            _exit(126);
    }
    if (!dir.empty() && chdir(dir.c_str()) != 0)
        _exit(126);
    execvpe(args[0], args.data(), env.data());
    _exit(127);
}

void ChildProcess::end(pid_t pid) {
    if (pid <= 0)
        return;
    // The process itself too: it may have left its group.
    ::kill(-pid, SIGTERM);
    ::kill(pid, SIGTERM);
    bool ended = false;
    for (int i = 0; i < 200 && !ended; ++i) {
        ended = waitpid(pid, nullptr, WNOHANG) == pid;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Whatever is left of the group: the process itself, or what it started.
    ::kill(-pid, SIGKILL);
    if (!ended) {
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

std::vector<std::string> ChildProcess::currentEnvironment() {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry)
        result.emplace_back(*entry);
    return result;
}

std::vector<std::string> ChildProcess::overridden(std::vector<std::string> environment,
                                                  const std::vector<std::string>& set,
                                                  const std::vector<std::string>& unset) {
    const auto drop = [&](const std::string& prefix) {
        std::erase_if(environment, [&](const std::string& e) { return e.starts_with(prefix); });
    };
    for (const std::string& name : unset)
        drop(name + "=");
    for (const std::string& entry : set) {
        drop(entry.substr(0, entry.find('=') + 1));
        environment.push_back(entry);
    }
    return environment;
}

} // namespace halvo::test
