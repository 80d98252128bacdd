// A process a test runs (an X or Wayland server, a window manager, a client, the program itself):
// it leads a process group of its own, so that ending it ends what it started, and all is
// prepared before fork, so that the child makes only system calls.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace halvo::test {

struct ChildProcess {
    explicit ChildProcess(std::vector<std::string> command) : argv(std::move(command)) {}

    // argv[0] is looked up on PATH.
    std::vector<std::string> argv;
    // The child's whole environment, "NAME=value" each; nothing: this process's.
    std::optional<std::vector<std::string>> environment;
    // Whom the child runs as; nothing: this process's user.
    std::optional<std::pair<uid_t, gid_t>> user;
    // Standard output and error; -1: /dev/null.
    int outputFd = -1;
    int errorFd = -1;
    // One more descriptor the child keeps open (-1: none).
    int keepFd = -1;
    // The working folder; empty: this process's.
    std::string dir;

    // The child's pid, -1 when fork failed. A child that cannot run argv exits with status 127,
    // one that cannot become `user` or enter `dir` with 126.
    pid_t start() const;

    // SIGTERM to the process and its group, SIGKILL to whatever is left a second later; reaps
    // the process. Nothing for a pid of 0 or less.
    static void end(pid_t pid);

    // This process's environment.
    static std::vector<std::string> currentEnvironment();
    // `environment` with each "NAME=value" of `set` in place of the entry of that name, and the
    // variables named in `unset` removed.
    static std::vector<std::string> overridden(std::vector<std::string> environment,
                                               const std::vector<std::string>& set,
                                               const std::vector<std::string>& unset = {});
};

} // namespace halvo::test
