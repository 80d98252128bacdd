// Moving an application's windows to another screen: the placement math, the per-window rules of
// the move and the preconditions that refuse a call as a whole.
#include "windows/WindowMovementService.h"

#include "platform/sim/SimBackgroundQueue.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"
#include "platform/sim/SimScreens.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace halvo;
using Result = WindowMovementService::Result;

namespace {

void expectRect(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
    EXPECT_NEAR(actual.width, expected.width, 1e-9);
    EXPECT_NEAR(actual.height, expected.height, 1e-9);
}

struct PlacementCase {
    const char* name;
    Rect window, source, target, expected;
};

class TargetFrame : public testing::TestWithParam<PlacementCase> {};

TEST_P(TargetFrame, KeepsTheRelativePlace) {
    const auto& c = GetParam();
    expectRect(WindowMovementService::targetFrame(c.window, c.source, c.target), c.expected);
}

// Source 1440x875 at (0, 25); target 1920x1055 at (1440, -200).
constexpr Rect laptop{0, 25, 1440, 875};
constexpr Rect external{1440, -200, 1920, 1055};

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetFrame,
    testing::Values(
        PlacementCase{"workedExample",
                      {100, 100, 800, 600},
                      laptop,
                      external,
                      {1615, -200 + 455 * (75.0 / 275.0), 800, 600}},
        PlacementCase{
            "flushLeftTopStaysFlush", {0, 25, 500, 400}, laptop, external, {1440, -200, 500, 400}},
        PlacementCase{"flushRightBottomStaysFlush",
                      {940, 500, 500, 400},
                      laptop,
                      external,
                      {1440 + 1920 - 500, -200 + 1055 - 400, 500, 400}},
        PlacementCase{"asWideAsTheSourceIsCentred",
                      {0, 100, 1440, 300},
                      laptop,
                      external,
                      {1440 + 240, -200 + 755 * (75.0 / 575.0), 1440, 300}},
        PlacementCase{"largerThanTheTargetShrinksAndFills",
                      {0, 0, 1600, 1000},
                      {0, 0, 1920, 1055},
                      {1920, 0, 1280, 775},
                      {1920, 0, 1280, 775}},
        PlacementCase{"outsideTheSourceIsClamped",
                      {-300, 2000, 200, 100},
                      laptop,
                      external,
                      {1440, -200 + 1055 - 100, 200, 100}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WindowMovementGeometry, AStraddlingWindowBelongsToTheLargerShareTiesToTheEarlierScreen) {
    const std::vector<Rect> areas{{0, 0, 1000, 1000}, {1000, 0, 1000, 1000}};
    expectRect(WindowMovementService::sourceArea({900, 0, 400, 300}, areas), areas[1]);
    expectRect(WindowMovementService::sourceArea({700, 0, 400, 300}, areas), areas[0]);
    expectRect(WindowMovementService::sourceArea({800, 0, 400, 300}, areas), areas[0]);
    expectRect(WindowMovementService::sourceArea({5000, 5000, 10, 10}, areas), areas[0]);
}

class WindowMovementTest : public testing::Test {
protected:
    static constexpr ProcessID pid = 42;
    static constexpr ProcessID ownPid = 7;

    WindowMovementTest() {
        // LEFT is primary; RIGHT has a 30-pixel panel at its top.
        left = screens.addScreen({0, 0, 1280, 1024}, {0, 0, 1280, 1024}, "LEFT");
        right = screens.addScreen({1280, 0, 1280, 1024}, {1280, 30, 1280, 994}, "RIGHT");
        desktop.launch({.pid = pid, .bundleIdentifier = "org.example.term", .name = "Term"});
        desktop.launch({.pid = ownPid, .bundleIdentifier = "org.example.halvo"});
    }

    Result move(ProcessID target, const Screen& screen) {
        std::optional<Result> result;
        service.moveWindows(target, screen, [&](Result r) { result = r; });
        EXPECT_FALSE(result) << "the result always arrives through the main queue";
        background.runAll();
        queue.runPending();
        EXPECT_TRUE(result);
        return result.value_or(Result{-1, -1, -1});
    }

    SimDesktop desktop;
    SimScreens screens;
    SimMainQueue queue;
    SimBackgroundQueue background{SimBackgroundQueue::Mode::stepped};
    SimLog log;
    WindowMovementService service{desktop.windowControl(), screens, queue, background, ownPid,
                                  desktop.workspace(),     log};

    // The log's lines, each less the part every line of a move to LEFT shares.
    std::vector<std::string> reasons() const {
        std::vector<std::string> result;
        const std::string prefix = "Halvo: Did not move Term's windows to LEFT: ";
        for (const std::string& line : log.lines())
            result.push_back(line.starts_with(prefix) ? line.substr(prefix.size()) : line);
        return result;
    }
    Screen left;
    Screen right;
};

TEST_F(WindowMovementTest, MovesWindowsFromRightToLeftKeepingTheirPlaceOffTheMainThread) {
    // RIGHT's area is (1280, 30, 1280, 994).
    const auto flush = desktop.addWindow(pid, {.frame = {1280, 30, 400, 300}});
    const auto centred = desktop.addWindow(pid, {.frame = {1280 + 440, 30 + 347, 400, 300}});

    std::optional<Result> result;
    service.moveWindows(pid, left, [&](Result r) { result = r; });
    EXPECT_EQ(background.waiting(), 1u) << "other processes are moved on the background queue";
    EXPECT_EQ(desktop.window(flush).frame.x, 1280) << "nothing touched on the main thread";
    background.runAll();
    queue.runPending();

    EXPECT_EQ(result, (Result{2, 0, 0}));
    EXPECT_EQ(desktop.windowReadCount(), 2u) << "one read to move, one to confirm";
    expectRect(desktop.window(flush).frame, {0, 0, 400, 300});
    expectRect(desktop.window(centred).frame, {440, 362, 400, 300});
}

TEST_F(WindowMovementTest, WindowsAlreadyThereAreUnchangedAndUntouched) {
    desktop.addWindow(pid, {.frame = {100, 100, 400, 300}});
    desktop.addWindow(pid, {.frame = {600, 200, 400, 300}});
    EXPECT_EQ(move(pid, left), (Result{0, 2, 0}));
    EXPECT_TRUE(desktop.windowRequests().empty());
}

TEST_F(WindowMovementTest, EveryWindowLeftAloneIsLoggedWithWhyWhileTheOthersMove) {
    const auto full = desktop.addWindow(pid, {.fullScreen = true, .frame = {1280, 0, 1280, 1024}});
    const auto fixed = desktop.addWindow(pid, {.frame = {1400, 100, 400, 300}, .canMove = false});
    const auto dock = desktop.addWindow(pid, {.kind = WindowInfo::Kind::desktop});
    const auto flat = desktop.addWindow(pid, {.frame = {1400, 100, 0, 300}});
    const auto there = desktop.addWindow(pid, {.frame = {100, 100, 400, 300}});
    const auto normal = desktop.addWindow(pid, {.frame = {1400, 100, 400, 300}});
    EXPECT_EQ(move(pid, left), (Result{1, 1, 4}));
    EXPECT_LT(desktop.window(normal).frame.x, 1280);
    const auto hex = [](WindowID id) {
        char text[32];
        std::snprintf(text, sizeof text, "window 0x%llx", static_cast<unsigned long long>(id));
        return std::string(text);
    };
    EXPECT_EQ(reasons(), (std::vector<std::string>{
                             hex(full) + " is in full screen",
                             hex(fixed) + ": the window manager does not let it move",
                             hex(dock) + " is part of the desktop",
                             hex(flat) + " is not on screen",
                             hex(there) + " is already there",
                         }));
}

TEST_F(WindowMovementTest, ALargeWindowIsShrunkToTheTargetAreaInOneFrameChange) {
    const auto big = desktop.addWindow(pid, {.frame = {1280, 30, 1280, 994}});
    screens.removeScreen(left.identifier);
    // Its bottom edge level with RIGHT's (1024 - 768 = 256), less a 25-pixel bar at its top.
    const Screen small = screens.addScreen({-1024, 256, 1024, 768}, {-1024, 281, 1024, 743});
    EXPECT_EQ(move(pid, small), (Result{1, 0, 0}));
    expectRect(desktop.window(big).frame, {-1024, 281, 1024, 743});
    const auto requests = desktop.windowRequests();
    ASSERT_EQ(requests.size(), 1u);
    expectRect(requests[0].frame, {-1024, 281, 1024, 743});
}

TEST_F(WindowMovementTest, AWindowThatCannotBeResizedIsStillMovedAndConfirmed) {
    screens.removeScreen(left.identifier);
    const Screen small = screens.addScreen({-1024, 256, 1024, 768});
    const auto big = desktop.addWindow(pid, {.frame = {1280, 30, 1200, 900}, .canResize = false});
    EXPECT_EQ(move(pid, small), (Result{1, 0, 0}));
    EXPECT_EQ(desktop.window(big).frame.size(), (Size{1200, 900}));
    EXPECT_EQ(desktop.window(big).frame.origin(), (Point{-1024, 256}));
}

TEST_F(WindowMovementTest, AMoveThatDoesNotLandOrFailsIsSkippedAndSizeOnlyChangesWhenNeeded) {
    desktop.addWindow(pid, {.frame = {1400, 100, 400, 300}, .ignoresMoves = true});
    const auto failing = desktop.addWindow(pid, {.frame = {1400, 100, 400, 300}});
    desktop.failWindow(failing, SimDesktop::WindowOperation::setFrame);
    EXPECT_EQ(move(pid, left), (Result{0, 0, 2}));
    for (const auto& request : desktop.windowRequests())
        EXPECT_EQ(request.frame.size(), (Size{400, 300})) << "a window that fits is never resized";
    // The refusal is known at once, the landing only from the confirming read.
    const std::vector<std::string> logged = reasons();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find(": the window manager did not move it in time"), std::string::npos)
        << logged[0];
    EXPECT_NE(logged[1].find(" did not arrive: the window manager put it at 1400, 100"),
              std::string::npos)
        << logged[1];
}

TEST_F(WindowMovementTest, RefusedCallsReportOneSkipped) {
    desktop.addWindow(pid, {.frame = {1400, 100, 400, 300}});
    EXPECT_EQ(move(pid + 1, left), (Result{0, 0, 1})) << "no such application";
    desktop.launch({.pid = 55});
    EXPECT_EQ(move(55, left), (Result{0, 0, 1})) << "no windows";
    const Screen unplugged = right;
    screens.removeScreen(right.identifier);
    screens.addScreen({1280, 0, 1280, 1024});
    EXPECT_EQ(move(pid, unplugged), (Result{0, 0, 1})) << "target gone";
    desktop.failWindowReads(pid);
    EXPECT_EQ(move(pid, left), (Result{0, 0, 1})) << "windows that cannot be read";
    desktop.setWindowManagerRunning(false);
    const auto reads = desktop.windowReadCount();
    EXPECT_EQ(move(pid, left), (Result{0, 0, 1})) << "no window manager";
    EXPECT_EQ(desktop.windowReadCount(), reads);
}

TEST_F(WindowMovementTest, OneScreenIsRefusedAndLogged) {
    desktop.addWindow(pid, {.frame = {1400, 100, 400, 300}});
    screens.removeScreen(right.identifier);
    EXPECT_EQ(move(pid, left), (Result{0, 0, 1}));
    EXPECT_EQ(reasons(), (std::vector<std::string>{"there is only one screen"}));
}

TEST_F(WindowMovementTest, HalvosOwnWindowsAreMovedInlineOnTheMainThread) {
    const auto own = desktop.addWindow(ownPid, {.frame = {1400, 100, 400, 300}});
    std::optional<Result> result;
    service.moveWindows(ownPid, left, [&](Result r) { result = r; });
    EXPECT_EQ(background.submitted(), 0u);
    EXPECT_LT(desktop.window(own).frame.x, 1280);
    queue.runPending();
    EXPECT_EQ(result, (Result{1, 0, 0}));
}

} // namespace
