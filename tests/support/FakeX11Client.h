// A scriptable X client for tests and benchmarks: maps any number of managed top-level windows
// with chosen WM_CLASS, _NET_WM_PID, _NET_WM_ICON, window type and state, from a child process.
#pragma once

#include "support/XvfbSession.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class FakeX11Client {
public:
    struct Options {
        int windows = 1;
        std::string wmClass = "FakeApp";
        std::string wmInstance = "fakeapp";
        bool netWmPid = true;
        // Two images in _NET_WM_ICON, 16x16 and 64x64, in this colour (ARGB).
        bool icon = true;
        std::uint32_t iconColor = 0xFFE05020;
        bool skipTaskbar = false;
        bool dock = false;
        // Window size; windows are tiled from the top-left corner.
        int width = 120;
        int height = 90;
        // _NET_WM_WINDOW_TYPE as a list of atom names, in this order (instead of `dock`'s).
        std::vector<std::string> windowTypes{};
    };

    // Starts the client in a child process of the session; it keeps its windows until killed
    // (XvfbSession::kill). Wait for the windows through _NET_CLIENT_LIST.
    static pid_t spawn(XvfbSession& session, const Options& options);

    // The _NET_WM_ICON value the client publishes for `color`.
    static std::vector<std::uint32_t> iconData(std::uint32_t color);

private:
    static int run(const std::string& display, const Options& options);
};

} // namespace halvo::test
