// The halvo program itself, run under a test's private X session: its own settings folder, its
// standard error kept in a log, and the overlay window and process state read from outside.
#pragma once

#include "support/XvfbSession.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class FaultProgram {
public:
    struct Window {
        unsigned long id = 0;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };

    explicit FaultProgram(XvfbSession& session);
    ~FaultProgram();
    FaultProgram(const FaultProgram&) = delete;
    FaultProgram& operator=(const FaultProgram&) = delete;

    // XDG_CONFIG_HOME of the program: the settings file is configHome()/halvo/defaults.json.
    const std::filesystem::path& configHome() const { return m_configHome; }
    std::filesystem::path settingsFile() const { return m_configHome / "halvo" / "defaults.json"; }

    // Starts build/halvo with `environment` ("NAME=value") added, and waits until its overlay
    // window exists (hot keys are registered before it is built). False when it did not come up.
    bool start(const std::vector<std::string>& environment = {});

    pid_t pid() const { return m_pid; }
    // Whether the process still runs (reaping it once it ended).
    bool running();
    // The exit status once the process ends within `seconds`; -signal when a signal ended it.
    std::optional<int> waitForExit(double seconds);

    // Everything the program wrote to standard error and output so far.
    std::string log() const;
    bool waitForLog(const std::string& text, double seconds = 5.0) const;

    // The overlay: Halvo's override-redirect top-level window; only while mapped unless
    // `mappedOnly` is false.
    std::optional<Window> overlay(bool mappedOnly = true) const;

    // Resident memory in KiB, 0 when unknown.
    long residentKiB() const;

private:
    XvfbSession& m_session;
    std::filesystem::path m_dir;
    std::filesystem::path m_configHome;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

} // namespace halvo::test
