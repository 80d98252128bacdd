// Probe: how long until a _NET_ACTIVE_WINDOW request shows on the root (median of 50), and how
// long performMove takes for an application with 20 windows. Prints figures; asserts nothing.
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11Screens.h"
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
    X11Accessibility accessibility(*connection, getpid());
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

    // One process with 20 windows: xterms share the class, so they form one application.
    for (int i = 0; i < 19; ++i)
        session.spawn(
            {"xterm", "-geometry",
             "40x10+" + std::to_string(1300 + 20 * i) + "+" + std::to_string(40 + 20 * i)});
    XvfbSession::waitUntil(
        [&] {
            AXValue windows;
            accessibility.copyAttributeValue(
                accessibility.createApplication(pidOf(workspace, "XTerm")), ax::windows, windows);
            return std::holds_alternative<std::vector<AXElement>>(windows) &&
                   std::get<std::vector<AXElement>>(windows).size() >= 20;
        },
        20);
    const auto all = screens.screens();
    const double primaryMaxY = all.front().frame.maxY();
    std::vector<Rect> areas;
    for (const auto& screen : all)
        areas.push_back(
            WindowMovementService::toAccessibilitySpace(screen.visibleFrame, primaryMaxY));
    const ProcessID xterm = pidOf(workspace, "XTerm");
    for (int round = 0; round < 3; ++round) {
        const Rect& target = areas[round % 2 == 0 ? 0 : 1];
        const auto start = Clock::now();
        const auto result = WindowMovementService::performMove(accessibility, xterm, areas, target);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("performMove, 20 xterm windows to %s: %.1f ms (moved %lld, unchanged %lld, "
                    "skipped %lld)\n",
                    round % 2 == 0 ? "LEFT" : "RIGHT", ms, static_cast<long long>(result.moved),
                    static_cast<long long>(result.unchanged),
                    static_cast<long long>(result.skipped));
    }
    return 0;
}
