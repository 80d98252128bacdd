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
    AppActivator activator{desktop.workspace(), desktop.accessibility(), queue, log};
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
    EXPECT_EQ(std::count(raises.begin(), raises.end(), desktop.windowElement(windowA)), 1)
        << "A raised on its open only";
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
    EXPECT_EQ(desktop.raises(), std::vector<AXElement>{desktop.windowElement(eyes)});
}

TEST_F(AppActivatorTest, WithoutPermissionNoWindowIsTouchedButTheActivationStillConfirms) {
    desktop.setTrusted(false);
    activator.activate(pidA, recorder("a"));
    queue.advance(1.0);
    EXPECT_EQ(results, std::vector<std::string>{"a:true"});
    EXPECT_TRUE(desktop.raises().empty());
    EXPECT_TRUE(desktop.attributeWrites().empty());
}

TEST_F(AppActivatorTest, RaisesTheWindowOnceOnOpenAndOnceOnConfirmation) {
    activator.activate(pidA, recorder("a"));
    queue.advance(1.0);
    const AXElement a = desktop.windowElement(windowA);
    EXPECT_EQ(desktop.raises(), (std::vector<AXElement>{a, a}));
}

TEST_F(AppActivatorTest, PendingStepsOfADestroyedActivatorDoNothing) {
    auto owned =
        std::make_unique<AppActivator>(desktop.workspace(), desktop.accessibility(), queue, log);
    owned->activate(pidA, recorder("a"));
    owned.reset();
    queue.advance(1.0);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(desktop.opens().empty());
}

TEST_F(AppActivatorTest, AMinimisedMainWindowIsRestoredRaisedMadeMainAndFocused) {
    const auto front = desktop.addWindow(pidA, {.focused = false});
    const auto minimised = desktop.addWindow(pidA, {.minimized = true});
    desktop.window(windowA).main = false;
    desktop.window(windowA).focused = true;
    desktop.window(minimised).main = true;
    (void)front;

    EXPECT_TRUE(activator.raiseWindows(pidA));
    const SimWindowAttributes& restored = desktop.window(minimised);
    EXPECT_FALSE(restored.minimized);
    EXPECT_TRUE(restored.main);
    EXPECT_TRUE(restored.focused);
    EXPECT_FALSE(desktop.window(windowA).focused);
    EXPECT_EQ(desktop.windowOrder(pidA).front(), minimised);
    const auto timeouts = desktop.messagingTimeouts();
    ASSERT_FALSE(timeouts.empty());
    EXPECT_EQ(timeouts.front().first, desktop.accessibility().createApplication(pidA));
    EXPECT_FLOAT_EQ(timeouts.front().second, 0.2f);
}

TEST_F(AppActivatorTest, ADesktopMainWindowFallsBackToTheFirstRealWindowInTheList) {
    desktop.window(windowA).subrole = std::string(ax::desktopSubrole);
    const auto dialog = desktop.addWindow(pidA, {.subrole = std::nullopt});
    EXPECT_TRUE(activator.raiseWindows(pidA));
    EXPECT_EQ(desktop.raises(), std::vector<AXElement>{desktop.windowElement(dialog)});
    EXPECT_TRUE(desktop.window(dialog).main);
}

TEST_F(AppActivatorTest, WithNoRealWindowNothingIsRaisedAndTheActivationStillConfirms) {
    desktop.window(windowA).subrole = std::string(ax::desktopSubrole);
    EXPECT_FALSE(activator.raiseWindows(pidA));
    activator.activate(pidA, recorder("a"));
    queue.advance(1.0);
    EXPECT_TRUE(desktop.raises().empty());
    EXPECT_EQ(results, std::vector<std::string>{"a:true"});
}

TEST_F(AppActivatorTest, AFailedRaiseIsReportedButTheOtherStepsStillRun) {
    const AXElement a = desktop.windowElement(windowA);
    desktop.failAX(a, SimDesktop::AXOperation::perform, ax::raise);
    desktop.window(windowA).minimized = true;
    desktop.window(windowA).focused = false;
    EXPECT_FALSE(activator.raiseWindows(pidA));
    EXPECT_FALSE(desktop.window(windowA).minimized);
    EXPECT_TRUE(desktop.window(windowA).focused);
}

TEST_F(AppActivatorTest, AnUnreadableMainWindowFallsBackToTheWindowList) {
    desktop.failAX(desktop.accessibility().createApplication(pidA), SimDesktop::AXOperation::copy,
                   ax::mainWindow);
    EXPECT_TRUE(activator.raiseWindows(pidA));
    EXPECT_EQ(desktop.raises(), std::vector<AXElement>{desktop.windowElement(windowA)});
}

struct WindowElementCase {
    const char* name;
    AXValue value;
    bool expected;
};

class IsWindowElement : public testing::TestWithParam<WindowElementCase> {};

TEST_P(IsWindowElement, AcceptsOnlyRealWindows) {
    SimDesktop desktop;
    desktop.launch({.pid = 1});
    desktop.addWindow(1, {});                                           // 1
    desktop.addWindow(1, {.subrole = std::nullopt});                    // 2
    desktop.addWindow(1, {.subrole = std::string(ax::desktopSubrole)}); // 3
    desktop.addWindow(1, {.role = "AXSheet"});                          // 4
    desktop.addWindow(1, {.subrole = std::string(ax::dialogSubrole)});  // 5
    desktop.failAX(desktop.windowElement(5), SimDesktop::AXOperation::copy, ax::role);
    EXPECT_EQ(AppActivator::isWindowElement(desktop.accessibility(), GetParam().value),
              GetParam().expected);
}

AXElement windowNumber(std::uint64_t id) {
    return {AXElement::Kind::window, 1, id};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsWindowElement,
    testing::Values(WindowElementCase{"standardWindow", windowNumber(1), true},
                    WindowElementCase{"missingSubrole", windowNumber(2), true},
                    WindowElementCase{"desktopSubrole", windowNumber(3), false},
                    WindowElementCase{"otherRole", windowNumber(4), false},
                    WindowElementCase{"unreadableRole", windowNumber(5), false},
                    WindowElementCase{"vanishedWindow", windowNumber(99), false},
                    WindowElementCase{"notAnElement", AXValue(std::string("AXWindow")), false},
                    WindowElementCase{"noValue", AXValue(), false}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
