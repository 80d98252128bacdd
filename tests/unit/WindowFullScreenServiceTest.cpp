// Full screen for the focused window: the four outcomes, the permission check and the order of
// quick requests on the serial queue.
#include "windows/WindowFullScreenService.h"

#include "platform/ThreadBackgroundQueue.h"
#include "platform/sim/SimBackgroundQueue.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimMainQueue.h"

#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

using namespace halvo;
using Result = WindowFullScreenService::Result;

namespace {

class WindowFullScreenTest : public testing::Test {
protected:
    static constexpr ProcessID pid = 42;
    static constexpr ProcessID ownPid = 7;

    WindowFullScreenTest() {
        desktop.launch({.pid = pid, .bundleIdentifier = "org.example.editor"});
        window = desktop.addWindow(pid, {.main = true, .focused = true});
    }

    Result set(bool enter) {
        std::optional<Result> result;
        service.setFullScreen(enter, pid, [&](Result r) { result = r; });
        EXPECT_FALSE(result) << "the result always arrives through the main queue";
        background.runAll();
        queue.runPending();
        EXPECT_TRUE(result);
        return result.value_or(Result::failed);
    }

    SimDesktop desktop;
    SimMainQueue queue;
    SimBackgroundQueue background{SimBackgroundQueue::Mode::stepped};
    WindowFullScreenService service{desktop.windowControl(), queue, background, ownPid};
    std::uint64_t window = 0;
};

TEST_F(WindowFullScreenTest, EntersThenReportsUnchangedThenLeaves) {
    EXPECT_EQ(set(true), Result::changed);
    EXPECT_EQ(desktop.window(window).fullScreen, true);
    EXPECT_EQ(set(true), Result::unchanged);
    EXPECT_EQ(set(false), Result::changed);
    EXPECT_EQ(desktop.window(window).fullScreen, false);
    EXPECT_EQ(set(false), Result::unchanged);
    EXPECT_EQ(desktop.windowRequests().size(), 2u) << "unchanged requests ask for nothing";
}

TEST_F(WindowFullScreenTest, NothingToActOnIsUnavailable) {
    desktop.window(window).canFullScreen = false;
    EXPECT_EQ(set(true), Result::unavailable) << "full screen not allowed";
    desktop.window(window).canFullScreen = true;
    desktop.window(window).kind = WindowInfo::Kind::desktop;
    EXPECT_EQ(set(true), Result::unavailable) << "the desktop is not a window";
    desktop.window(window).kind = WindowInfo::Kind::normal;
    desktop.window(window).focused = false;
    EXPECT_EQ(set(true), Result::unavailable) << "no focused window";
    desktop.window(window).focused = true;
    desktop.failWindowReads(pid);
    EXPECT_EQ(set(true), Result::unavailable) << "windows that cannot be read";
    EXPECT_TRUE(desktop.windowRequests().empty());
}

TEST_F(WindowFullScreenTest, ARequestTheDesktopRefusesIgnoresOrLosesIsFailed) {
    // Taken but not carried out, as by a window manager that ignores it.
    desktop.window(window).ignoresFullScreen = true;
    EXPECT_EQ(set(true), Result::failed);
    EXPECT_FALSE(desktop.window(window).fullScreen);
    desktop.failWindow(window, SimDesktop::WindowOperation::setFullScreen, WindowResult::refused);
    EXPECT_EQ(set(true), Result::failed);
    desktop.failWindow(window, SimDesktop::WindowOperation::setFullScreen, WindowResult::gone);
    EXPECT_EQ(set(true), Result::failed);
    EXPECT_EQ(desktop.windowRequests().size(), 3u);
}

TEST_F(WindowFullScreenTest, WithoutAWindowManagerNoWindowIsAskedAnything) {
    desktop.setWindowManagerRunning(false);
    EXPECT_EQ(set(true), Result::unavailable);
    EXPECT_EQ(desktop.windowReadCount(), 0u);
    EXPECT_EQ(background.submitted(), 0u);
}

TEST_F(WindowFullScreenTest, OtherProcessesGoThroughTheQueueAndHalvoItselfInline) {
    desktop.launch({.pid = ownPid});
    const auto own = desktop.addWindow(ownPid, {.focused = true});
    std::optional<Result> result;
    service.setFullScreen(true, ownPid, [&](Result r) { result = r; });
    EXPECT_EQ(background.submitted(), 0u);
    EXPECT_EQ(desktop.window(own).fullScreen, true);
    queue.runPending();
    EXPECT_EQ(result, Result::changed);

    service.setFullScreen(true, pid, [](Result) {});
    EXPECT_EQ(background.waiting(), 1u);
    EXPECT_EQ(desktop.window(window).fullScreen, false);
}

TEST_F(WindowFullScreenTest, QuickRequestsOnAWorkerThreadAreAppliedInOrder) {
    ThreadBackgroundQueue serial("org.example.halvo.fullscreen",
                                 ThreadBackgroundQueue::Kind::serial);
    WindowFullScreenService threaded(desktop.windowControl(), queue, serial, ownPid);
    std::vector<Result> results;
    threaded.setFullScreen(true, pid, [&](Result r) { results.push_back(r); });
    threaded.setFullScreen(false, pid, [&](Result r) { results.push_back(r); });
    threaded.setFullScreen(false, pid, [&](Result r) { results.push_back(r); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (results.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        queue.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(results, (std::vector<Result>{Result::changed, Result::changed, Result::unchanged}));
    EXPECT_EQ(desktop.window(window).fullScreen, false);
}

} // namespace
