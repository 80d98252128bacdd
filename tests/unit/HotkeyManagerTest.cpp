// The global shortcut on the simulated desktop and the virtual clock: registration all or
// nothing, presses, long presses and the exact modifier combination.
#include "input/HotkeyManager.h"

#include "platform/sim/SimEventMonitor.h"
#include "platform/sim/SimHotkeyRegistrar.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace halvo;

namespace {

constexpr std::uint32_t controlOption = controlKey | optionKey;
constexpr std::uint64_t controlOptionFlags = NSEventModifierFlagControl | NSEventModifierFlagOption;
constexpr std::uint32_t HLVO = fourCharCode("HLVO");

class HotkeyManagerTest : public testing::Test {
protected:
    std::unique_ptr<HotkeyManager> make(ShortcutModifiers modifiers = ShortcutModifiers(3)) {
        auto manager = std::make_unique<HotkeyManager>(modifiers, registrar, monitor, queue, log);
        wire(*manager);
        return manager;
    }

    // A running manager; the callbacks have seen nothing yet.
    std::unique_ptr<HotkeyManager> started(ShortcutModifiers modifiers = ShortcutModifiers(3)) {
        auto manager = make(modifiers);
        EXPECT_TRUE(manager->start());
        calls.clear();
        return manager;
    }

    void wire(HotkeyManager& manager) {
        manager.onSwitch = [this](HotkeyAction a) {
            calls.push_back(std::string("switch ") + name(a));
        };
        manager.onLongPress = [this](HotkeyAction a) {
            calls.push_back(std::string("long ") + name(a));
        };
        manager.onFullScreen = [this](bool enter) {
            calls.push_back(enter ? "fullScreen on" : "fullScreen off");
        };
        manager.onModifiersChanged = [this](bool held) {
            calls.push_back(held ? "held" : "released");
        };
    }

    // Carbon events and modifier reports reach the callbacks through the main queue.
    void press(std::uint16_t key, std::uint32_t modifiers = controlOption) {
        registrar.press(key, modifiers);
        queue.runPending();
    }
    void release(std::uint16_t key, std::uint32_t modifiers = controlOption) {
        registrar.release(key, modifiers);
        queue.runPending();
    }
    void flags(std::uint64_t word) {
        monitor.sendFlagsChanged(word);
        queue.runPending();
    }
    std::vector<std::string> take() { return std::exchange(calls, {}); }

    SimHotkeyRegistrar registrar;
    SimEventMonitor monitor;
    SimMainQueue queue;
    SimLog log;
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

} // namespace

TEST(HotkeyAction, RawValuesKeyCodesAndOrder) {
    EXPECT_EQ(keyCode(HotkeyAction::previous), 123);
    EXPECT_EQ(keyCode(HotkeyAction::next), 124);
    EXPECT_EQ(keyCode(HotkeyAction::enterFullScreen), 126);
    EXPECT_EQ(keyCode(HotkeyAction::exitFullScreen), 125);
    for (std::uint32_t raw = 1; raw <= 4; ++raw)
        EXPECT_EQ(rawValue(*hotkeyActionFromRawValue(raw)), raw);
    EXPECT_FALSE(hotkeyActionFromRawValue(0));
    EXPECT_FALSE(hotkeyActionFromRawValue(5));
    EXPECT_EQ(hotkeyActionForKeyCode(125), HotkeyAction::exitFullScreen);
    EXPECT_FALSE(hotkeyActionForKeyCode(53));
}

TEST_F(HotkeyManagerTest, StartInstallsHandlerFourHotKeysInOrderAndBothMonitors) {
    auto manager = make();
    EXPECT_TRUE(manager->start());
    using R = SimHotkeyRegistrar::Registration;
    EXPECT_EQ(registrar.registerCalls(), (std::vector<R>{{123, 0x1800, {HLVO, 1}},
                                                         {124, 0x1800, {HLVO, 2}},
                                                         {126, 0x1800, {HLVO, 3}},
                                                         {125, 0x1800, {HLVO, 4}}}));
    EXPECT_TRUE(registrar.hasHandler());
    EXPECT_EQ(monitor.localCount(), 1u);
    EXPECT_EQ(monitor.globalCount(), 1u);
    EXPECT_EQ(take(), Calls{"released"}) << "a registration reports the combination up at once";

    // Running: start only reports.
    EXPECT_TRUE(manager->start());
    EXPECT_EQ(registrar.registerCalls().size(), 4u);
    EXPECT_EQ(monitor.globalCount(), 1u);
}

TEST_F(HotkeyManagerTest, InvalidCombinationFallsBackToControlOption) {
    EXPECT_EQ(make(ShortcutModifiers(0))->modifiers(), ShortcutModifiers(3));
    EXPECT_EQ(make(ShortcutModifiers(19))->modifiers(), ShortcutModifiers(3));
    EXPECT_EQ(make(ShortcutModifiers(12))->modifiers(), ShortcutModifiers(12));
}

TEST_F(HotkeyManagerTest, HandlerThatCannotBeInstalledIsLoggedAndNothingIsRegistered) {
    registrar.failInstallEventHandler(-50);
    auto manager = make();
    EXPECT_FALSE(manager->start());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Halvo: InstallEventHandler failed: -50"}));
    EXPECT_TRUE(registrar.registerCalls().empty());
    EXPECT_EQ(monitor.globalCount() + monitor.localCount(), 0u);
    EXPECT_FALSE(manager->isRunning());
}

TEST_F(HotkeyManagerTest, StartFailsCleanlyWhenAnotherProgramOwnsOneHotKey) {
    registrar.ownElsewhere(126, controlOption);
    auto manager = make();
    EXPECT_FALSE(manager->start());
    EXPECT_TRUE(registrar.registered().empty()) << "Left and Right must be rolled back";
    EXPECT_FALSE(registrar.hasHandler());
    EXPECT_EQ(monitor.globalCount() + monitor.localCount(), 0u);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "Halvo: Could not register the shortcut ⌃⌥↑: another program already uses it"}));

    // A different combination works at once.
    EXPECT_TRUE(
        manager->registerHotkeys(ShortcutModifiers::control.unionWith(ShortcutModifiers::command)));
    EXPECT_TRUE(manager->start());
    EXPECT_EQ(registrar.registered().size(), 4u);
}

TEST_F(HotkeyManagerTest, FailingThirdRegistrationKeepsTheOldFourAndTheHeldState) {
    auto manager = started();
    flags(controlOptionFlags);
    ASSERT_EQ(take(), Calls{"held"});

    registrar.failRegistration(3);
    const ShortcutModifiers controlCommand(1 | 4);
    EXPECT_FALSE(manager->registerHotkeys(controlCommand));
    EXPECT_EQ(registrar.registered().size(), 4u);
    for (HotkeyAction action : allHotkeyActions)
        EXPECT_TRUE(registrar.isRegistered(keyCode(action), controlOption));
    EXPECT_EQ(registrar.unregisterCallCount(), 2u) << "the two new hot keys are released";
    EXPECT_EQ(manager->modifiers(), ShortcutModifiers(3));
    EXPECT_TRUE(manager->shortcutHeld());
    EXPECT_TRUE(take().empty());

    press(kVK_RightArrow);
    EXPECT_EQ(take(), Calls{"switch next"});
}

TEST_F(HotkeyManagerTest, SwapRegistersNewKeysBeforeReleasingOldOnesAndReportsReleasedAtOnce) {
    std::vector<std::string> order;
    auto manager = std::make_unique<HotkeyManager>(
        ShortcutModifiers(3), registrar, monitor, queue, log,
        [&](std::uint32_t key, std::uint32_t mods, EventHotKeyID id, EventHotKeyRef& ref) {
            order.push_back("register " + std::to_string(key) + "/" + std::to_string(mods));
            return registrar.registerEventHotKey(key, mods, id, ref);
        },
        [&](EventHotKeyRef ref) {
            order.push_back("unregister");
            registrar.unregisterEventHotKey(ref);
        });
    wire(*manager);
    ASSERT_TRUE(manager->start());
    take();
    flags(controlOptionFlags);
    press(kVK_LeftArrow);
    take();
    order.clear();

    const ShortcutModifiers controlShift(1 | 8);
    EXPECT_TRUE(manager->registerHotkeys(controlShift));
    EXPECT_EQ(order,
              (std::vector<std::string>{"register 123/4608", "register 124/4608",
                                        "register 126/4608", "register 125/4608", "unregister",
                                        "unregister", "unregister", "unregister"}));
    EXPECT_EQ(take(), Calls{"released"}) << "reported at once, not through the queue";
    EXPECT_FALSE(manager->shortcutHeld());
    EXPECT_FALSE(manager->pressedAction());
    queue.advance(1);
    EXPECT_TRUE(take().empty()) << "the long press of the old combination is cancelled";

    // The same combination again: nothing at all.
    order.clear();
    EXPECT_TRUE(manager->registerHotkeys(controlShift));
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(take().empty());
}

TEST_F(HotkeyManagerTest, InvalidCombinationIsRefusedWithoutTouchingThePlatform) {
    auto manager = started();
    EXPECT_FALSE(manager->registerHotkeys(ShortcutModifiers(0)));
    EXPECT_FALSE(manager->registerHotkeys(ShortcutModifiers(16)));
    EXPECT_EQ(registrar.registerCalls().size(), 4u);
    EXPECT_EQ(manager->modifiers(), ShortcutModifiers(3));
}

TEST_F(HotkeyManagerTest, HoldingLeftGivesOneSwitchAtOnceAndOneLongPressAfterSixTenths) {
    auto manager = started();
    press(kVK_LeftArrow);
    EXPECT_EQ(take(), Calls{"switch previous"});
    queue.advance(0.3);
    press(kVK_LeftArrow); // auto-repeat: neither a switch nor a new timer
    queue.advance(0.29);
    EXPECT_TRUE(take().empty());
    queue.advance(0.01);
    EXPECT_EQ(take(), Calls{"long previous"});
    queue.advance(2);
    EXPECT_TRUE(take().empty()) << "one press gives at most one long press";
}

TEST_F(HotkeyManagerTest, ReleasingBeforeSixTenthsGivesNoLongPress) {
    auto manager = started();
    press(kVK_RightArrow);
    queue.advance(0.5);
    release(kVK_RightArrow);
    queue.advance(1);
    EXPECT_EQ(take(), Calls{"switch next"});
}

TEST_F(HotkeyManagerTest, SecondArrowCancelsTheFirstTimer) {
    auto manager = started();
    press(kVK_LeftArrow);
    queue.advance(0.4);
    press(kVK_RightArrow);
    queue.advance(0.59);
    EXPECT_EQ(take(), (Calls{"switch previous", "switch next"}));
    queue.advance(0.01);
    EXPECT_EQ(take(), Calls{"long next"});
}

TEST_F(HotkeyManagerTest, ModifiersComingUpCancelTheLongPress) {
    auto manager = started();
    flags(controlOptionFlags);
    press(kVK_RightArrow);
    flags(0);
    queue.advance(1);
    EXPECT_EQ(take(), (Calls{"held", "switch next", "released"}));
}

TEST_F(HotkeyManagerTest, UpAndDownNeverLongPressAndARepeatedUpReportsOnce) {
    auto manager = started();
    press(kVK_UpArrow);
    press(kVK_UpArrow);
    queue.advance(1);
    press(kVK_DownArrow);
    queue.advance(1);
    EXPECT_EQ(take(), (Calls{"fullScreen on", "fullScreen off"}));
}

TEST_F(HotkeyManagerTest, EventsThatAreNotOursDoNothing) {
    auto manager = started();
    HotkeyEvent foreign;
    foreign.hotKeyID = {fourCharCode("ABCD"), 2};
    EXPECT_EQ(registrar.deliver(foreign), noErr);
    for (std::uint32_t id : {0u, 5u}) {
        HotkeyEvent outOfRange;
        outOfRange.hotKeyID = {HLVO, id};
        EXPECT_EQ(registrar.deliver(outOfRange), noErr);
    }
    HotkeyEvent unreadable;
    unreadable.parameterStatus = eventParameterNotFoundErr;
    unreadable.hotKeyID = {HLVO, 2};
    EXPECT_EQ(registrar.deliver(unreadable), eventParameterNotFoundErr);
    EXPECT_EQ(queue.pendingCount(), 0u);
    queue.advance(1);
    EXPECT_TRUE(take().empty());
}

TEST_F(HotkeyManagerTest, ShortcutTakenByAnotherProgramIsReportedLikeARefusal) {
    auto manager = started();
    int taken = 0;
    manager->onShortcutTaken = [&] { ++taken; };
    flags(controlOptionFlags);
    HotkeyEvent event;
    event.kind = kEventHotKeyTaken;
    event.hotKeyID = {HLVO, 2};
    registrar.deliver(event);
    registrar.deliver(event); // its later presses report nothing new
    queue.runPending();
    EXPECT_EQ(take(), (Calls{"held", "released"})) << "the open switch must be closed";
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(
        log.lines(),
        (std::vector<std::string>{
            "Halvo: Could not register the shortcut ⌃⌥→: another program takes its presses"}));
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_FALSE(manager->isRunning());
    // Recording a combination again registers it at once, the same one included.
    EXPECT_TRUE(manager->registerHotkeys(ShortcutModifiers(3)) && manager->start());
    EXPECT_EQ(registrar.registered().size(), 4u);
}

TEST_F(HotkeyManagerTest, SuspendedManagerIgnoresPressesAndModifiersButReleasesStillCancel) {
    auto manager = started();
    flags(controlOptionFlags);
    take();

    manager->suspend();
    EXPECT_EQ(take(), Calls{"released"}) << "an open switch is closed at once";
    EXPECT_FALSE(manager->shortcutHeld());
    press(kVK_RightArrow);
    press(kVK_UpArrow);
    flags(0);
    flags(controlOptionFlags);
    queue.advance(1);
    EXPECT_TRUE(take().empty());

    // resume() leaves the combination unheld until the next modifier change.
    manager->resume();
    EXPECT_FALSE(manager->shortcutHeld());
    flags(controlOptionFlags | NSEventModifierFlagShift);
    flags(controlOptionFlags);
    EXPECT_EQ(take(), Calls{"held"});

    // A long press pending when the suspension begins is still cancelled by the release.
    press(kVK_LeftArrow);
    manager->setSuspended(true);
    release(kVK_LeftArrow);
    EXPECT_FALSE(manager->pressedAction());
    manager->setSuspended(false);
    queue.advance(1);
    EXPECT_EQ(take(), Calls{"switch previous"});
}

TEST_F(HotkeyManagerTest, OnlyTheExactCombinationCountsAndLockBitsDoNot) {
    auto manager = started();
    flags(NSEventModifierFlagControl);
    EXPECT_TRUE(take().empty());
    flags(controlOptionFlags | NSEventModifierFlagCapsLock | NSEventModifierFlagFunction | 0x100);
    EXPECT_EQ(take(), Calls{"held"});
    flags(controlOptionFlags | NSEventModifierFlagShift);
    EXPECT_EQ(take(), Calls{"released"});
    flags(controlOptionFlags);
    EXPECT_EQ(take(), Calls{"held"});
    flags(controlOptionFlags | NSEventModifierFlagCapsLock);
    EXPECT_TRUE(take().empty()) << "Caps Lock changes nothing";
    flags(NSEventModifierFlagOption);
    EXPECT_EQ(take(), Calls{"released"});
}

TEST_F(HotkeyManagerTest, DownAndUpBeforeTheReportRunsReportOnlyTheFinalState) {
    auto manager = started();
    monitor.sendFlagsChanged(controlOptionFlags);
    monitor.sendFlagsChanged(0);
    EXPECT_TRUE(take().empty()) << "reports go through the queue";
    queue.runPending();
    EXPECT_EQ(take(), Calls{"released"});
}

TEST_F(HotkeyManagerTest, ArrowKeyUpFromTheMonitorCancelsOnlyThatArrowsLongPress) {
    auto manager = started();
    press(kVK_RightArrow);
    monitor.sendKeyUp(kVK_LeftArrow);
    monitor.sendKeyUp(kVK_Escape);
    EXPECT_EQ(manager->pressedAction(), HotkeyAction::next);
    monitor.sendKeyUp(kVK_RightArrow, /*local=*/true);
    EXPECT_FALSE(manager->pressedAction());
    queue.advance(1);
    EXPECT_EQ(take(), Calls{"switch next"});
}

TEST_F(HotkeyManagerTest, StopRemovesEverythingButKeepsTheCombination) {
    auto manager = started(ShortcutModifiers(12));
    monitor.sendFlagsChanged(NSEventModifierFlagShift | NSEventModifierFlagCommand);
    manager->stop();
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_FALSE(registrar.hasHandler());
    EXPECT_EQ(monitor.globalCount() + monitor.localCount(), 0u);
    EXPECT_EQ(manager->modifiers(), ShortcutModifiers(12));
    EXPECT_FALSE(manager->shortcutHeld());
    queue.runPending();
    EXPECT_TRUE(take().empty()) << "stop() reports nothing, and the pending report is void";

    EXPECT_TRUE(manager->start());
    EXPECT_EQ(registrar.registered().size(), 4u);
}

TEST_F(HotkeyManagerTest, StartSucceedsWithoutMonitors) {
    monitor.refuseMonitors(true);
    auto manager = make();
    EXPECT_TRUE(manager->start());
    manager->stop();
    EXPECT_TRUE(manager->start());
}

TEST_F(HotkeyManagerTest, DestroyedManagerLeavesNoWorkBehind) {
    auto manager = started();
    monitor.sendFlagsChanged(controlOptionFlags);
    registrar.press(kVK_LeftArrow, controlOption);
    ASSERT_EQ(queue.pendingCount(), 2u) << "a modifier report and a press wait in the queue";
    manager.reset();
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_FALSE(registrar.hasHandler());
    queue.advance(1);
    EXPECT_TRUE(take().empty());
}
