// Probe: how long until a _NET_ACTIVE_WINDOW request shows on the root (median of 50); how many X
// requests and how long a long-press move of 10 windows and the window part of one step's
// activation take; how long performMove takes for an application with 20 windows. Prints
// figures; asserts nothing.
#include "core/AppActivator.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11WindowControl.h"
#include "platform/x11/X11Workspace.h"
#include "support/XvfbSession.h"
#include "windows/WindowMovementService.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace halvo;
using halvo::test::XvfbSession;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

ProcessID pidOf(X11Workspace& workspace, const std::string& wmClass) {
    for (const auto& app : workspace.runningApplications()) {
        if (app.bundleIdentifier == wmClass)
            return app.processIdentifier;
    }
    return 0;
}

// xcb numbers every request on a connection: the sequence numbers of two no-op requests count
// the requests sent between them (the probe makes every call on the main connection).
std::uint32_t sequenceMark(xcb_connection_t* c) {
    const auto cookie = xcb_get_input_focus(c);
    xcb_discard_reply(c, cookie.sequence);
    return cookie.sequence;
}

std::size_t windowCount(WindowControl& windowControl, ProcessID pid) {
    const auto app = windowControl.windows(pid);
    return app ? app->windows.size() : 0;
}

} // namespace

int main() {
    XvfbSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
        return 1;
    }
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    X11Workspace workspace(*connection, getpid());
    X11WindowControl windowControl(*connection, getpid());
    X11Screens screens(*connection);

    session.spawn({"xterm"});
    session.spawn({"xlogo"});
    session.waitForClientWindow("XTerm");
    session.waitForClientWindow("XLogo");
    XvfbSession::waitUntil([&] { return pidOf(workspace, "XTerm") && pidOf(workspace, "XLogo"); });
    const ProcessID targets[2] = {pidOf(workspace, "XTerm"), pidOf(workspace, "XLogo")};

    std::vector<double> activation;
    for (int i = 0; i < 50; ++i) {
        const ProcessID pid = targets[i % 2];
        const auto start = Clock::now();
        workspace.activate(pid);
        const bool changed = XvfbSession::waitUntil([&] {
            const auto front = workspace.frontmostApplication();
            return front && front->processIdentifier == pid;
        });
        if (changed)
            activation.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("activation request -> _NET_ACTIVE_WINDOW changed: median %.2f ms over %zu "
                "(of 50), min %.2f ms, max %.2f ms\n",
                median(activation), activation.size(),
                activation.empty() ? 0 : *std::min_element(activation.begin(), activation.end()),
                activation.empty() ? 0 : *std::max_element(activation.begin(), activation.end()));

    {
        // The other instances share XLogo's class: one application with 10 windows, 9 of them on
        // the right monitor.
        for (int i = 0; i < 9; ++i)
            session.spawn(
                {"xlogo", "-geometry",
                 "200x150+" + std::to_string(1300 + 30 * i) + "+" + std::to_string(40 + 30 * i)});
        XvfbSession::waitUntil(
            [&] { return windowCount(windowControl, pidOf(workspace, "XLogo")) >= 10; }, 20);
        const ProcessID xlogo = pidOf(workspace, "XLogo");
        std::vector<Rect> areas;
        for (const auto& screen : screens.screens())
            areas.push_back(screen.visibleFrame);
        xcb_connection_t* c = connection->xcb();
        for (int round = 0; round < 2; ++round) {
            const Rect& target = areas[round % 2 == 0 ? 0 : 1];
            const std::uint32_t before = sequenceMark(c);
            const auto start = Clock::now();
            const auto result =
                WindowMovementService::performMove(windowControl, xlogo, areas, target);
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            std::printf("long-press move of 10 xlogo windows to %s: %u X requests, %.1f ms "
                        "(moved %lld, unchanged %lld, skipped %lld)\n",
                        round % 2 == 0 ? "LEFT" : "RIGHT", sequenceMark(c) - before - 1, ms,
                        static_cast<long long>(result.moved),
                        static_cast<long long>(result.unchanged),
                        static_cast<long long>(result.skipped));
        }
        SimMainQueue queue;
        SimLog log;
        AppActivator activator(workspace, windowControl, queue, log);
        for (int round = 0; round < 3; ++round) {
            const ProcessID pid = round % 2 == 0 ? xlogo : targets[0];
            const std::uint32_t before = sequenceMark(c);
            const auto start = Clock::now();
            // What the activator asks of window control in one step: the check and the raise
            // after the open, and again after the confirmation.
            for (int step = 0; step < 2; ++step) {
                if (windowControl.isWindowManagerRunning())
                    activator.raiseWindows(pid);
            }
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            std::printf("one step's activation, window part, %s: %u X requests, %.2f ms\n",
                        round % 2 == 0 ? "XLogo (10 windows)" : "XTerm (1 window)",
                        sequenceMark(c) - before - 1, ms);
        }
    }

    // One process with 20 windows: xterms share the class, so they form one application.
    for (int i = 0; i < 19; ++i)
        session.spawn(
            {"xterm", "-geometry",
             "40x10+" + std::to_string(1300 + 20 * i) + "+" + std::to_string(40 + 20 * i)});
    XvfbSession::waitUntil(
        [&] { return windowCount(windowControl, pidOf(workspace, "XTerm")) >= 20; }, 20);
    std::vector<Rect> areas;
    for (const auto& screen : screens.screens())
        areas.push_back(screen.visibleFrame);
    const ProcessID xterm = pidOf(workspace, "XTerm");
    for (int round = 0; round < 3; ++round) {
        const Rect& target = areas[round % 2 == 0 ? 0 : 1];
        const auto start = Clock::now();
        const auto result = WindowMovementService::performMove(windowControl, xterm, areas, target);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("performMove, 20 xterm windows to %s: %.1f ms (moved %lld, unchanged %lld, "
                    "skipped %lld)\n",
                    round % 2 == 0 ? "LEFT" : "RIGHT", ms, static_cast<long long>(result.moved),
                    static_cast<long long>(result.unchanged),
                    static_cast<long long>(result.skipped));
    }
    return 0;
}
