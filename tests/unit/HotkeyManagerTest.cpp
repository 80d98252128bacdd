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

constexpr Modifiers controlAlt = Modifier::control | Modifier::alt;

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

    // Shortcut events and modifier reports reach the callbacks through the main queue.
    void press(Key key, Modifiers modifiers = controlAlt) {
        registrar.press(key, modifiers);
        queue.runPending();
    }
    void release(Key key, Modifiers modifiers = controlAlt) {
        registrar.release(key, modifiers);
        queue.runPending();
    }
    void hold(Modifiers held) {
        monitor.sendModifiers(held);
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

TEST(HotkeyAction, EachActionHasItsArrow) {
    EXPECT_EQ(key(HotkeyAction::previous), Key::left);
    EXPECT_EQ(key(HotkeyAction::next), Key::right);
    EXPECT_EQ(key(HotkeyAction::enterFullScreen), Key::up);
    EXPECT_EQ(key(HotkeyAction::exitFullScreen), Key::down);
    EXPECT_EQ(hotkeyActionForKey(Key::down), HotkeyAction::exitFullScreen);
    EXPECT_FALSE(hotkeyActionForKey(Key::escape));
}

TEST_F(HotkeyManagerTest, StartListensRegistersTheFourArrowsInOrderAndAddsTheMonitor) {
    auto manager = make();
    EXPECT_TRUE(manager->start());
    using S = SimHotkeyRegistrar::Shortcut;
    EXPECT_EQ(registrar.registerCalls(), (std::vector<S>{{Key::left, controlAlt},
                                                         {Key::right, controlAlt},
                                                         {Key::up, controlAlt},
                                                         {Key::down, controlAlt}}));
    EXPECT_TRUE(registrar.isListening());
    EXPECT_EQ(monitor.monitorCount(), 1u);
    EXPECT_EQ(take(), Calls{"released"}) << "a registration reports the combination up at once";

    // Running: start only reports.
    EXPECT_TRUE(manager->start());
    EXPECT_EQ(registrar.registerCalls().size(), 4u);
    EXPECT_EQ(monitor.monitorCount(), 1u);
}

TEST_F(HotkeyManagerTest, InvalidCombinationFallsBackToControlAlt) {
    EXPECT_EQ(make(ShortcutModifiers(0))->modifiers(), ShortcutModifiers(3));
    EXPECT_EQ(make(ShortcutModifiers(19))->modifiers(), ShortcutModifiers(3));
    EXPECT_EQ(make(ShortcutModifiers(12))->modifiers(), ShortcutModifiers(12));
}

TEST_F(HotkeyManagerTest, KeyboardThatCannotBeListenedToIsLoggedAndNothingIsRegistered) {
    registrar.failListening("the X server has no keyboard");
    auto manager = make();
    EXPECT_FALSE(manager->start());
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "Halvo: Could not listen to the keyboard: the X server has no keyboard"}));
    EXPECT_TRUE(registrar.registerCalls().empty());
    EXPECT_EQ(monitor.monitorCount(), 0u);
    EXPECT_FALSE(registrar.isListening());
}

TEST_F(HotkeyManagerTest, StartFailsCleanlyWhenAnotherProgramOwnsOneHotKey) {
    registrar.ownElsewhere(Key::up, controlAlt);
    auto manager = make();
    EXPECT_FALSE(manager->start());
    EXPECT_TRUE(registrar.registered().empty()) << "Left and Right must be rolled back";
    EXPECT_FALSE(registrar.isListening());
    EXPECT_EQ(monitor.monitorCount(), 0u);
    EXPECT_EQ(
        log.lines(),
        (std::vector<std::string>{
            "Halvo: Could not register the shortcut Ctrl+Alt+↑: another program already uses it"}));

    // A different combination works at once.
    EXPECT_TRUE(manager->registerHotkeys(ShortcutModifiers(Modifier::control | Modifier::super)));
    EXPECT_TRUE(manager->start());
    EXPECT_EQ(registrar.registered().size(), 4u);
}

TEST_F(HotkeyManagerTest, FailingThirdRegistrationKeepsTheOldFourAndTheHeldState) {
    auto manager = started();
    hold(controlAlt);
    ASSERT_EQ(take(), Calls{"held"});

    registrar.failRegistration(3, RegistrationResult::failed);
    EXPECT_FALSE(manager->registerHotkeys(ShortcutModifiers(1 | 4)));
    EXPECT_EQ(registrar.registered().size(), 4u);
    for (HotkeyAction action : allHotkeyActions)
        EXPECT_TRUE(registrar.isRegistered(key(action), controlAlt));
    EXPECT_EQ(registrar.unregisterCallCount(), 2u) << "the two new hot keys are released";
    EXPECT_EQ(log.lines().back(),
              "Halvo: Could not register the shortcut Ctrl+Super+↑: the desktop refused it");
    EXPECT_EQ(manager->modifiers(), ShortcutModifiers(3));
    EXPECT_TRUE(manager->shortcutHeld());
    EXPECT_TRUE(take().empty());

    press(Key::right);
    EXPECT_EQ(take(), Calls{"switch next"});
}

TEST_F(HotkeyManagerTest, SwapRegistersNewKeysBeforeReleasingOldOnesAndReportsReleasedAtOnce) {
    auto manager = started();
    hold(controlAlt);
    press(Key::left);
    take();

    const std::size_t before = registrar.callLog().size();
    const ShortcutModifiers controlShift(1 | 8);
    EXPECT_TRUE(manager->registerHotkeys(controlShift));
    const std::vector<std::string> order(registrar.callLog().begin() + before,
                                         registrar.callLog().end());
    EXPECT_EQ(order, (std::vector<std::string>{"register ←", "register →", "register ↑",
                                               "register ↓", "unregister ←", "unregister →",
                                               "unregister ↑", "unregister ↓"}));
    EXPECT_TRUE(registrar.isRegistered(Key::left, Modifier::control | Modifier::shift));
    EXPECT_EQ(take(), Calls{"released"}) << "reported at once, not through the queue";
    EXPECT_FALSE(manager->shortcutHeld());
    EXPECT_FALSE(manager->pressedAction());
    queue.advance(1);
    EXPECT_TRUE(take().empty()) << "the long press of the old combination is cancelled";

    // The same combination again: nothing at all.
    EXPECT_TRUE(manager->registerHotkeys(controlShift));
    EXPECT_EQ(registrar.callLog().size(), before + 8);
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
    press(Key::left);
    EXPECT_EQ(take(), Calls{"switch previous"});
    queue.advance(0.3);
    press(Key::left); // auto-repeat: neither a switch nor a new timer
    queue.advance(0.29);
    EXPECT_TRUE(take().empty());
    queue.advance(0.01);
    EXPECT_EQ(take(), Calls{"long previous"});
    queue.advance(2);
    EXPECT_TRUE(take().empty()) << "one press gives at most one long press";
}

TEST_F(HotkeyManagerTest, ReleasingBeforeSixTenthsGivesNoLongPress) {
    auto manager = started();
    press(Key::right);
    queue.advance(0.5);
    release(Key::right);
    queue.advance(1);
    EXPECT_EQ(take(), Calls{"switch next"});
}

TEST_F(HotkeyManagerTest, SecondArrowCancelsTheFirstTimer) {
    auto manager = started();
    press(Key::left);
    queue.advance(0.4);
    press(Key::right);
    queue.advance(0.59);
    EXPECT_EQ(take(), (Calls{"switch previous", "switch next"}));
    queue.advance(0.01);
    EXPECT_EQ(take(), Calls{"long next"});
}

TEST_F(HotkeyManagerTest, ModifiersComingUpCancelTheLongPress) {
    auto manager = started();
    hold(controlAlt);
    press(Key::right);
    hold({});
    queue.advance(1);
    EXPECT_EQ(take(), (Calls{"held", "switch next", "released"}));
}

TEST_F(HotkeyManagerTest, UpAndDownNeverLongPressAndARepeatedUpReportsOnce) {
    auto manager = started();
    press(Key::up);
    press(Key::up);
    queue.advance(1);
    press(Key::down);
    queue.advance(1);
    EXPECT_EQ(take(), (Calls{"fullScreen on", "fullScreen off"}));
}

TEST_F(HotkeyManagerTest, ShortcutTakenAfterRegistrationStopsTheManagerAndClosesTheSwitch) {
    auto manager = started();
    int taken = 0;
    manager->onShortcutTaken = [&] { ++taken; };
    hold(controlAlt);
    ASSERT_EQ(take(), Calls{"held"});

    registrar.takeElsewhere(Key::right, controlAlt);
    registrar.takeElsewhere(Key::right, controlAlt); // its later presses report nothing new
    EXPECT_EQ(taken, 0) << "reported through the queue";
    queue.runPending();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(take(), Calls{"released"}) << "the open switch is closed";
    EXPECT_FALSE(registrar.isListening());
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"Halvo: Could not register the shortcut "
                                        "Ctrl+Alt+→: another program takes its presses"}));

    // Recording the combination again registers it anew.
    EXPECT_TRUE(manager->start());
    EXPECT_EQ(registrar.registered().size(), 4u);
}

// Keys the desktop's own configuration takes (a binding in the user's sway configuration, added
// by a reload) are given up, but Halvo listens on: once the registrar says they are free, the
// combination is registered again and the log says so. No switch opens in between.
TEST_F(HotkeyManagerTest, ShortcutTakenByTheConfigurationIsRegisteredAgainOnceFree) {
    auto manager = started();
    int taken = 0, restored = 0;
    manager->onShortcutTaken = [&] { ++taken; };
    manager->onShortcutRestored = [&] { ++restored; };
    hold(controlAlt);
    take();
    registrar.takeElsewhere(Key::right, controlAlt,
                            HotkeyRegistrar::Event::Kind::takenByConfiguration);
    queue.runPending();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(take(), Calls{"released"});
    EXPECT_TRUE(registrar.isListening());
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_EQ(manager->refusal(), RegistrationResult::takenByConfiguration);
    hold({});
    hold(controlAlt);
    EXPECT_EQ(take(), Calls{}) << "no hot keys, no switch";

    registrar.announceAvailable();
    queue.runPending();
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(registrar.registered().size(), 4u);
    EXPECT_FALSE(manager->refusal());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "Halvo: Could not register the shortcut Ctrl+Alt+→: the desktop's "
                               "own configuration binds it",
                               "Halvo: The shortcut Ctrl+Alt works again: the desktop's "
                               "configuration no longer binds it"}));
}

// Refused at start because the configuration binds it: Halvo listens on and takes the
// combination once it is free, not before.
TEST_F(HotkeyManagerTest, StartRefusedByTheConfigurationWaitsForItToBeFree) {
    registrar.ownElsewhere(Key::down, controlAlt, RegistrationResult::takenByConfiguration);
    auto manager = make();
    int restored = 0;
    manager->onShortcutRestored = [&] { ++restored; };
    EXPECT_FALSE(manager->start());
    EXPECT_TRUE(registrar.isListening());
    registrar.announceAvailable(); // another combination was freed: this one is still bound
    queue.runPending();
    EXPECT_EQ(restored, 0);
    EXPECT_TRUE(registrar.registered().empty());

    registrar.freeElsewhere(Key::down, controlAlt);
    registrar.announceAvailable();
    queue.runPending();
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(registrar.registered().size(), 4u);
    EXPECT_TRUE(manager->start());
    take();
    hold(controlAlt);
    EXPECT_EQ(take(), Calls{"held"});
}

TEST_F(HotkeyManagerTest, SuspendedManagerIgnoresPressesAndModifiers) {
    auto manager = started();
    hold(controlAlt);
    take();

    manager->suspend();
    EXPECT_EQ(take(), Calls{"released"}) << "an open switch is closed at once";
    EXPECT_FALSE(manager->shortcutHeld());
    press(Key::right);
    press(Key::up);
    hold({});
    hold(controlAlt);
    queue.advance(1);
    EXPECT_TRUE(take().empty());

    // resume() leaves the combination unheld until the next modifier change.
    manager->resume();
    EXPECT_FALSE(manager->shortcutHeld());
    hold(controlAlt | Modifier::shift);
    hold(controlAlt);
    EXPECT_EQ(take(), Calls{"held"});
}

TEST_F(HotkeyManagerTest, OnlyTheExactCombinationCounts) {
    auto manager = started();
    hold(Modifier::control);
    EXPECT_TRUE(take().empty());
    hold(controlAlt);
    EXPECT_EQ(take(), Calls{"held"});
    hold(controlAlt | Modifier::shift);
    EXPECT_EQ(take(), Calls{"released"}) << "an extra one of the four keys spoils it";
    hold(controlAlt);
    EXPECT_EQ(take(), Calls{"held"});
    hold(Modifier::alt);
    EXPECT_EQ(take(), Calls{"released"});

    // A press and a release that both arrive before the report runs report only the final state.
    monitor.sendModifiers(controlAlt);
    monitor.sendModifiers({});
    EXPECT_TRUE(take().empty()) << "reports go through the queue";
    queue.runPending();
    EXPECT_EQ(take(), Calls{"released"});
}

TEST_F(HotkeyManagerTest, ArrowKeyUpFromTheMonitorCancelsOnlyThatArrowsLongPress) {
    auto manager = started();
    press(Key::right);
    monitor.sendKeyReleased(Key::left);
    monitor.sendKeyReleased(Key::escape);
    EXPECT_EQ(manager->pressedAction(), HotkeyAction::next);
    monitor.sendKeyReleased(Key::right);
    EXPECT_FALSE(manager->pressedAction());
    queue.advance(1);
    EXPECT_EQ(take(), Calls{"switch next"});
}

TEST_F(HotkeyManagerTest, StopRemovesEverythingButKeepsTheCombination) {
    auto manager = started(ShortcutModifiers(12));
    monitor.sendModifiers(Modifier::shift | Modifier::super);
    manager->stop();
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_FALSE(registrar.isListening());
    EXPECT_EQ(monitor.monitorCount(), 0u);
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
    monitor.sendModifiers(controlAlt);
    registrar.press(Key::left, controlAlt);
    ASSERT_EQ(queue.pendingCount(), 2u) << "a modifier report and a press wait in the queue";
    manager.reset();
    EXPECT_TRUE(registrar.registered().empty());
    EXPECT_FALSE(registrar.isListening());
    queue.advance(1);
    EXPECT_TRUE(take().empty());
}
