// The activation pipeline on the simulated desktop: superseded requests, early failures, window
// raising and the confirmation check.
#include "core/AppActivator.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace halvo;

namespace {

constexpr ProcessID pidA = 101;
constexpr ProcessID pidB = 202;
constexpr ProcessID pidC = 303;

class AppActivatorTest : public testing::Test {
protected:
    AppActivatorTest() {
        desktop.launch({.pid = pidA, .bundleIdentifier = "org.example.a", .name = "A"});
        desktop.launch({.pid = pidB, .bundleIdentifier = "org.example.b", .name = "B"});
        desktop.launch({.pid = pidC, .bundleIdentifier = "org.example.c", .name = "C"});
        windowA = desktop.addWindow(pidA, {.main = true, .focused = true});
        windowB = desktop.addWindow(pidB, {.main = true, .focused = true});
        desktop.addWindow(pidC, {.main = true, .focused = true});
        desktop.bringToFront(pidC);
    }

    // Records every completion; `results` lists them in call order.
    std::function<void(bool)> recorder(const std::string& name) {
        return [this, name](bool ok) { results.push_back(name + (ok ? ":true" : ":false")); };
    }

    bool logged(const std::string& line) const {
        const auto lines = log.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    SimDesktop desktop;
    SimMainQueue queue;
    SimLog log;
    AppActivator activator{desktop.workspace(), desktop.windowControl(), queue, log};
    std::uint64_t windowA = 0;
    std::uint64_t windowB = 0;
    std::vector<std::string> results;
};

TEST_F(AppActivatorTest, ConfirmsAnApplicationThatBecameFrontmost) {
    activator.activate(pidA, recorder("a"));
    EXPECT_TRUE(results.empty()) << "nothing completes before the delays";
    queue.advance(AppActivator::activationDelay);
    EXPECT_EQ(desktop.opens(), std::vector<ProcessID>{pidA});
    EXPECT_TRUE(results.empty());
    queue.advance(AppActivator::confirmationDelay);
    EXPECT_EQ(results, std::vector<std::string>{"a:true"});
    EXPECT_EQ(desktop.frontmostPid(), pidA);
    EXPECT_TRUE(log.lines().empty());
}

// A key read 20 ms after its press leaves 15 ms of the delay; one read later still opens on the
// next turn, never before the request.
TEST_F(AppActivatorTest, TheDelayCountsFromTheRequestTimeWhenGiven) {
    queue.advance(1.0);
    activator.activate(pidA, recorder("a"), queue.now() - 0.020);
    queue.advance(0.014);
    EXPECT_TRUE(desktop.opens().empty());
    queue.advance(0.001);
    EXPECT_EQ(desktop.opens(), std::vector<ProcessID>{pidA});

    activator.activate(pidB, recorder("b"), queue.now() - 0.5);
    EXPECT_EQ(desktop.opens(), std::vector<ProcessID>{pidA});
    queue.runPending();
    EXPECT_EQ(desktop.opens(), (std::vector<ProcessID>{pidA, pidB}));
}

TEST_F(AppActivatorTest, OfTwoRequestsTenMillisecondsApartOnlyTheSecondOpensAndCompletes) {
    activator.activate(pidA, recorder("a"));
    queue.advance(0.010);
    activator.activate(pidB, recorder("b"));
    queue.advance(1.0);
    EXPECT_EQ(desktop.opens(), std::vector<ProcessID>{pidB});
    EXPECT_EQ(results, std::vector<std::string>{"b:true"});
    EXPECT_EQ(desktop.frontmostPid(), pidB);
}

TEST_F(AppActivatorTest, AProcessThatJustQuitFailsAtOnceAndStillStopsTheOlderRequest) {
    activator.activate(pidA, recorder("a"));
    desktop.quit(pidB);
    activator.activate(pidB, recorder("b"));
    EXPECT_EQ(results, std::vector<std::string>{"b:false"}) << "completes before returning";
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"b:false"});
    EXPECT_TRUE(desktop.opens().empty());
    EXPECT_TRUE(log.lines().empty()) << "early failures are not logged";
}

TEST_F(AppActivatorTest, TerminatedOrUnopenableApplicationsFailAtOnce) {
    desktop.markTerminated(pidA);
    activator.activate(pidA, recorder("terminated"));
    desktop.launch({.pid = 404, .bundleIdentifier = "org.example.d", .hasBundleURL = false});
    activator.activate(404, recorder("no-bundle"));
    EXPECT_EQ(results, (std::vector<std::string>{"terminated:false", "no-bundle:false"}));
}

TEST_F(AppActivatorTest, ANewerRequestWhileTheOpenIsOutstandingEndsTheOlderSilently) {
    desktop.setOpenMode(SimDesktop::OpenMode::deferred);
    activator.activate(pidA, recorder("a"));
    queue.advance(AppActivator::activationDelay);
    ASSERT_EQ(desktop.pendingOpenCount(), 1u);
    activator.activate(pidB, recorder("b"));
    desktop.completeOpen(0); // A's open answers late, after B was requested
    queue.advance(AppActivator::activationDelay);
    desktop.completeOpen(0);
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"b:true"});
    EXPECT_TRUE(desktop.activations() == std::vector<ProcessID>{pidB})
        << "A was never explicitly activated";
}

TEST_F(AppActivatorTest, ANewerRequestDuringTheConfirmationWaitEndsTheOlderSilently) {
    // B's open is held back, so A is still frontmost when A's check comes due: a check that ran
    // anyway would confirm A (and raise it again over B).
    activator.activate(pidA, recorder("a"));
    queue.advance(AppActivator::activationDelay + 0.05);
    ASSERT_EQ(desktop.activations(), std::vector<ProcessID>{pidA}) << "A waits for its check";
    desktop.setOpenMode(SimDesktop::OpenMode::deferred);
    activator.activate(pidB, recorder("b"));
    queue.advance(AppActivator::confirmationDelay);
    EXPECT_TRUE(results.empty());
    desktop.completeOpen(0);
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"b:true"});
    EXPECT_TRUE(log.lines().empty());
    const auto raises = desktop.raises();
    EXPECT_EQ(std::count(raises.begin(), raises.end(), windowA), 1) << "A raised on its open only";
}

TEST_F(AppActivatorTest, AnOpenAnsweredFromAnotherThreadIsHandledOnTheMainQueue) {
    desktop.setOpenMode(SimDesktop::OpenMode::deferred);
    activator.activate(pidA, recorder("a"));
    queue.advance(AppActivator::activationDelay);
    std::thread worker([&] { desktop.completeOpen(0); });
    worker.join();
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(desktop.activations().empty()) << "nothing ran on the answering thread";
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"a:true"});
}

TEST_F(AppActivatorTest, AHiddenApplicationIsUnhiddenBeforeItIsOpened) {
    desktop.setHidden(pidA, true);
    desktop.setOpenMode(SimDesktop::OpenMode::deferred);
    activator.activate(pidA, recorder("a"));
    queue.advance(AppActivator::activationDelay);
    EXPECT_EQ(desktop.unhides(), std::vector<ProcessID>{pidA});
    EXPECT_FALSE(desktop.isHidden(pidA));
    EXPECT_EQ(desktop.pendingOpenCount(), 1u);
}

TEST_F(AppActivatorTest, AFailedOpenIsLoggedWithTheErrorOrApplicationUnavailable) {
    desktop.setOpenMode(SimDesktop::OpenMode::deferred);
    activator.activate(pidA, recorder("a"));
    queue.advance(AppActivator::activationDelay);
    desktop.failOpen(0, "The application is damaged");
    queue.advance(1.0);
    activator.activate(pidB, recorder("b"));
    queue.advance(AppActivator::activationDelay);
    desktop.failOpen(0);
    queue.advance(1.0);
    EXPECT_EQ(results, (std::vector<std::string>{"a:false", "b:false"}));
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "Halvo: Could not activate org.example.a: The application is damaged",
                  "Halvo: Could not activate org.example.b: application unavailable"}));
}

TEST_F(AppActivatorTest, AnotherOrNoApplicationTakingTheFrontMeansNotConfirmed) {
    activator.activate(pidA, recorder("a"));
    queue.advance(AppActivator::activationDelay + 0.05);
    ASSERT_EQ(desktop.frontmostPid(), pidA);
    desktop.bringToFront(pidC);
    queue.advance(AppActivator::confirmationDelay);
    activator.activate(pidB, recorder("b"));
    queue.advance(AppActivator::activationDelay + 0.05);
    desktop.bringToFront(std::nullopt);
    queue.advance(AppActivator::confirmationDelay);
    EXPECT_EQ(results, (std::vector<std::string>{"a:false", "b:false"}));
    EXPECT_TRUE(logged("Halvo: Activation was not confirmed for org.example.a"));
    EXPECT_TRUE(logged("Halvo: Activation was not confirmed for org.example.b"));
}

TEST_F(AppActivatorTest, AnApplicationThatRefusesFocusIsRaisedButNotConfirmed) {
    desktop.launch({.pid = 505, .bundleIdentifier = std::nullopt, .refusesActivation = true});
    const auto eyes = desktop.addWindow(505, {.main = true});
    activator.activate(505, recorder("eyes"));
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"eyes:false"});
    EXPECT_TRUE(logged("Halvo: Activation was not confirmed for unknown"));
    EXPECT_EQ(desktop.raises(), std::vector<std::uint64_t>{eyes});
}

TEST_F(AppActivatorTest, WithoutPermissionNoWindowIsTouchedButTheActivationStillConfirms) {
    desktop.setWindowManagerRunning(false);
    activator.activate(pidA, recorder("a"));
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"a:true"});
    EXPECT_TRUE(desktop.windowRequests().empty());
    EXPECT_EQ(desktop.windowReadCount(), 0u);
}

TEST_F(AppActivatorTest, RaisesTheWindowOnceOnOpenAndOnceOnConfirmation) {
    activator.activate(pidA, recorder("a"));
    queue.advance(1.0);
    EXPECT_EQ(desktop.raises(), (std::vector<std::uint64_t>{windowA, windowA}));
}

TEST_F(AppActivatorTest, PendingStepsOfADestroyedActivatorDoNothing) {
    auto owned =
        std::make_unique<AppActivator>(desktop.workspace(), desktop.windowControl(), queue, log);
    owned->activate(pidA, recorder("a"));
    owned.reset();
    queue.advance(1.0);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(desktop.opens().empty());
}

TEST_F(AppActivatorTest, AMinimisedMainWindowIsRestoredRaisedMadeMainAndFocused) {
    desktop.addWindow(pidA, {.focused = false});
    const auto minimised = desktop.addWindow(pidA, {.minimized = true});
    desktop.window(windowA).main = false;
    desktop.window(minimised).main = true;

    EXPECT_TRUE(activator.raiseWindows(pidA));
    const SimWindowAttributes& restored = desktop.window(minimised);
    EXPECT_FALSE(restored.minimized);
    EXPECT_TRUE(restored.main);
    EXPECT_TRUE(restored.focused);
    EXPECT_FALSE(desktop.window(windowA).focused);
    EXPECT_EQ(desktop.windowOrder(pidA).front(), minimised);
    EXPECT_EQ(desktop.windowReadCount(), 1u) << "one read of the windows";
}

TEST_F(AppActivatorTest, WithoutAUsableMainWindowTheFirstRealWindowIsRaised) {
    desktop.window(windowA).kind = WindowInfo::Kind::desktop;
    const auto dialog = desktop.addWindow(pidA, {.kind = WindowInfo::Kind::dialog});
    EXPECT_TRUE(activator.raiseWindows(pidA));
    EXPECT_EQ(desktop.raises(), std::vector<std::uint64_t>{dialog});
    EXPECT_TRUE(desktop.window(dialog).main);

    // Raised, the dialog is now in front and main; without any main window the first real one
    // in the application's order is raised.
    desktop.window(dialog).main = false;
    desktop.window(dialog).kind = WindowInfo::Kind::desktop;
    desktop.window(windowA).kind = WindowInfo::Kind::normal;
    EXPECT_TRUE(activator.raiseWindows(pidA)) << "no main window at all";
    EXPECT_EQ(desktop.raises().back(), windowA);
}

TEST_F(AppActivatorTest, WithNoRealWindowNothingIsRaisedAndTheActivationStillConfirms) {
    desktop.window(windowA).kind = WindowInfo::Kind::desktop;
    EXPECT_FALSE(activator.raiseWindows(pidA));
    activator.activate(pidA, recorder("a"));
    queue.advance(1.0);
    desktop.failWindowReads(pidB);
    EXPECT_FALSE(activator.raiseWindows(pidB)) << "windows that cannot be read";
    EXPECT_TRUE(desktop.raises().empty());
    EXPECT_EQ(results, std::vector<std::string>{"a:true"});
}

TEST_F(AppActivatorTest, AFailedRaiseIsReportedButTheOtherStepsStillRun) {
    desktop.failWindow(windowA, SimDesktop::WindowOperation::raise);
    desktop.window(windowA).minimized = true;
    desktop.window(windowA).focused = false;
    EXPECT_FALSE(activator.raiseWindows(pidA));
    EXPECT_FALSE(desktop.window(windowA).minimized);
    EXPECT_TRUE(desktop.window(windowA).focused);
}

TEST(AppActivatorWindowTest, EverythingButPartsOfTheDesktopIsAWindow) {
    using Kind = WindowInfo::Kind;
    const Rect frame{0, 0, 400, 300};
    for (const auto& [kind, expected] :
         {std::pair{Kind::normal, true}, std::pair{Kind::dialog, true},
          std::pair{Kind::other, true}, std::pair{Kind::desktop, false}})
        EXPECT_EQ(AppActivator::isWindow(WindowInfo{.kind = kind, .frame = frame}), expected)
            << static_cast<int>(kind);
    EXPECT_FALSE(AppActivator::isWindow(WindowInfo{})) << "no frame: gone since the read";
}

} // namespace
