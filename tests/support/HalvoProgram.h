// The real halvo program started for a test: its own settings folder, its log captured, its exit
// status and memory observed without blocking.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace halvo::test {

class HalvoProgram {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Starts the program with `arguments` on the current DISPLAY; XDG_CONFIG_HOME is
    // `configHome`, and `environment` adds or replaces further variables. `binary` is the
    // program built with the tests unless a benchmark names another build to compare.
    HalvoProgram(const std::string& configHome, std::vector<std::string> arguments = {},
                 const Environment& environment = {}, const std::string& binary = {});
    ~HalvoProgram();
    HalvoProgram(const HalvoProgram&) = delete;
    HalvoProgram& operator=(const HalvoProgram&) = delete;

    pid_t pid() const { return m_pid; }

    // Everything the program wrote to standard output and standard error so far.
    std::string log() const;
    // Waits up to `seconds` for `text` to appear in the log.
    bool waitForLog(const std::string& text, double seconds = 15.0) const;

    void signal(int number) const;
    // Whether the process still runs (reaping it once it ended).
    bool running();
    // The exit status once the program has ended, waiting up to `seconds`; nothing while it
    // still runs. A program ended by a signal reports 128 plus the signal's number.
    std::optional<int> waitForExit(double seconds);

    // Resident memory in KiB, 0 when unknown.
    long residentKiB() const;
    // The file descriptors it holds open now (0 when it is gone).
    int openDescriptors() const;

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::string m_logPath;
};

} // namespace halvo::test
