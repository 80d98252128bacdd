// xdg-open started detached from Halvo.
#include "platform/linux/XdgOpen.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace halvo {

bool XdgOpen::open(const std::string& url) {
    // Detached: xdg-open may wait for the browser; it is reaped by a short-lived intermediate.
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        setsid();
        pid_t opener = 0;
        const char* argv[] = {"xdg-open", url.c_str(), nullptr};
        const int status = posix_spawnp(&opener, "xdg-open", nullptr, nullptr,
                                        const_cast<char* const*>(argv), environ);
        _exit(status == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace halvo
