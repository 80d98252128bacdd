// The global shortcut on a real X server: hot-key grabs, XKB modifier state and XInput2 arrow
// releases, driven by real XTEST key events while xterm has the focus.
#include "input/HotkeyManager.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventMonitor.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "platform/x11/X11KeyMap.h"
#include "support/XTestKeyboard.h"
#include "support/XvfbSession.h"

#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

using namespace halvo;
using halvo::test::XTestKeyboard;
using halvo::test::XvfbSession;

namespace {

using Calls = std::vector<std::string>;

const ShortcutModifiers controlAlt(1 | 2);
const ShortcutModifiers controlSuper(1 | 4);
const ShortcutModifiers controlShift(1 | 8);

xcb_keycode_t keycodeOf(xcb_connection_t* c, xcb_keysym_t keysym) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t code = codes ? codes[0] : 0;
    free(codes);
    xcb_key_symbols_free(symbols);
    return code;
}

// Whether a client on its own connection may grab the key on the root; the grab is let go again.
bool otherClientCanGrab(const std::string& display, xcb_keysym_t keysym, std::uint16_t mods) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_grab_key_checked(c, 0, root, mods, keycodeOf(c, keysym),
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool ok = error == nullptr;
    free(error);
    xcb_disconnect(c);
    return ok;
}

// One X session with xterm focused, and a hotkey manager on the real backend. The main queue
// is the virtual one, pumped together with the X connection: a plain loop stands in for the
// program's event loop.
class HotkeyX11Test : public testing::Test {
protected:
    void open(XvfbSession::Options options = {}) {
        session = std::make_unique<XvfbSession>(options);
        ASSERT_TRUE(session->ok()) << session->error();
        session->spawn({"xterm"});
        const unsigned long xterm = session->waitForClientWindow("XTerm");
        ASSERT_NE(xterm, 0u);
        ASSERT_TRUE(XvfbSession::waitUntil([&] { return session->activeWindow() == xterm; }));

        std::string error;
        connection = X11Connection::open(session->display().c_str(), error);
        ASSERT_TRUE(connection) << error;
        registrar = std::make_unique<X11HotkeyRegistrar>(*connection);
        monitor = std::make_unique<X11EventMonitor>(*connection);
        keyboard = std::make_unique<XTestKeyboard>(session->display());
    }

    void makeManager(ShortcutModifiers modifiers) {
        manager = std::make_unique<HotkeyManager>(modifiers, *registrar, *monitor, queue, log);
        manager->onSwitch = [this](HotkeyAction a) {
            calls.push_back(std::string("switch ") + name(a));
        };
        manager->onLongPress = [this](HotkeyAction a) {
            calls.push_back(std::string("long ") + name(a));
        };
        manager->onFullScreen = [this](bool on) { calls.push_back(on ? "full on" : "full off"); };
        manager->onModifiersChanged = [this](bool held) {
            calls.push_back(held ? "held" : "released");
        };
    }

    void pump() {
        connection->dispatchPending();
        queue.runPending();
    }

    // Everything the server did before this call has reached the callbacks afterwards: a round
    // trip on our connection reads all events sent before its reply.
    void sync() {
        xcb_connection_t* c = connection->xcb();
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        pump();
    }

    // Waits until the callbacks have been called `count` times, then syncs once more so that
    // anything extra shows up too, and hands over what they saw.
    Calls waitFor(std::size_t count, double seconds = 5) {
        XvfbSession::waitUntil(
            [&] {
                pump();
                return calls.size() >= count;
            },
            seconds);
        sync();
        return std::exchange(calls, {});
    }

    // The modifiers and the arrow go down; once the callbacks have seen the combination held and
    // the arrow (or the time runs out) everything comes up again. The modifier report is pumped
    // while the keys are down: a combination that goes down and up before its report runs is
    // reported only as up.
    Calls stroke(const std::vector<std::string>& modifiers, const std::string& arrow) {
        chord(modifiers);
        keyboard->press(arrow);
        Calls seen = waitFor(2, 2);
        keyboard->release(arrow);
        unchord(modifiers);
        for (const std::string& call : waitFor(seen.empty() ? 0 : 1, 2))
            seen.push_back(call);
        return seen;
    }

    void chord(const std::vector<std::string>& keys) {
        for (const std::string& key : keys)
            keyboard->press(key);
    }
    void unchord(const std::vector<std::string>& keys) {
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            keyboard->release(*key);
    }

    bool logMentions(const std::string& text) const {
        const auto lines = log.lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind("Halvo: ", 0) == 0 && line.find(text) != std::string::npos;
        });
    }

    std::unique_ptr<XvfbSession> session;
    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11HotkeyRegistrar> registrar;
    std::unique_ptr<X11EventMonitor> monitor;
    std::unique_ptr<XTestKeyboard> keyboard;
    SimMainQueue queue;
    SimLog log;
    std::unique_ptr<HotkeyManager> manager;
    Calls calls;
};

} // namespace

TEST(X11KeyMap, TranslatesOnlyArrowsAndTheShortcutModifiers) {
    EXPECT_EQ(x11::keysymForKey(Key::left), xcb_keysym_t{XK_Left});
    EXPECT_EQ(x11::keysymForKey(Key::up), xcb_keysym_t{XK_Up});
    EXPECT_EQ(x11::keysymForKey(Key::down), xcb_keysym_t{XK_Down});
    EXPECT_FALSE(x11::keysymForKey(Key::escape));
    EXPECT_EQ(x11::keyForKeysym(XK_Right), Key::right);
    EXPECT_FALSE(x11::keyForKeysym(XK_KP_Left));
    EXPECT_FALSE(x11::keyForKeysym(XK_Escape));
    const Modifiers all = Modifier::control | Modifier::alt | Modifier::super | Modifier::shift;
    EXPECT_EQ(x11::xModifiersFor(all),
              XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(x11::modifiersForXState(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK |
                                      XCB_MOD_MASK_2),
              Modifier::control | Modifier::alt)
        << "Caps Lock (Lock) and Num Lock (Mod2) are not modifiers of a shortcut";
    EXPECT_EQ(x11::modifiersForXState(XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT),
              Modifier::super | Modifier::shift);
}

TEST_F(HotkeyX11Test, ControlAltRightWhileXtermHasFocusSwitchesToTheNextApp) {
    open();
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    EXPECT_EQ(registrar->grabCount(), 16u) << "4 arrows x (none, Caps, Num, Caps+Num)";
    EXPECT_TRUE(registrar->hasDetectableAutoRepeat());
    calls.clear();

    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Right"), (Calls{"held", "switch next", "released"}));
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Left"),
              (Calls{"held", "switch previous", "released"}));
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Up"), (Calls{"held", "full on", "released"}));
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Down"), (Calls{"held", "full off", "released"}));
}

// A press read late (Halvo busy elsewhere) is dated by the server's time of the key: its age is
// what it waited, learnt from the server's clock, not from when it was read.
TEST_F(HotkeyX11Test, APressReadLateIsDatedByTheServersTimeOfTheKey) {
    open();
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    connection->serverTime(); // any event with a time teaches the connection the server's clock
    calls.clear();

    chord({"Control_L", "Alt_L"});
    keyboard->press("Right");
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // not reading the connection
    EXPECT_EQ(waitFor(2), (Calls{"held", "switch next"}));
    const double waited = queue.now() - manager->pressTime();
    EXPECT_GE(waited, 0.15);
    EXPECT_LT(waited, 1.0);
    keyboard->release("Right");
    unchord({"Control_L", "Alt_L"});
}

// The hold runs in real time so that the server's own auto-repeat happens during it; the
// virtual clock follows the real one, so the long-press timer runs as it would in the program.
TEST_F(HotkeyX11Test, RightHeldPastSixTenthsGivesExactlyOneLongPressDespiteAutoRepeat) {
    open();
    session->run("xset r rate 200 40");
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    const xcb_keycode_t right = keycodeOf(connection->xcb(), XK_Right);
    int presses = 0;
    int releases = 0;
    connection->addListener([&](const xcb_generic_event_t& event) {
        const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
        const std::uint8_t type = event.response_type & 0x7f;
        if ((type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) && key.detail == right)
            ++(type == XCB_KEY_PRESS ? presses : releases);
    });
    chord({"Control_L", "Alt_L"});
    sync();
    calls.clear();

    keyboard->press("Right");
    const auto start = std::chrono::steady_clock::now();
    const double startClock = queue.now();
    XvfbSession::waitUntil(
        [&] {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            connection->dispatchPending();
            queue.advance(startClock + elapsed - queue.now());
            return elapsed > 1.2;
        },
        3);
    keyboard->release("Right");
    sync();
    queue.advance(1);
    EXPECT_EQ(calls, (Calls{"switch next", "long next"}));
    EXPECT_GT(presses, 3) << "the server repeated the held arrow";
    EXPECT_EQ(releases, 1) << "detectable auto-repeat: one release, at the end";
    unchord({"Control_L", "Alt_L"});
}

TEST_F(HotkeyX11Test, ExactModifierCombinationGoesDownAndUpAndShiftSpoilsIt) {
    open();
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    calls.clear();

    keyboard->press("Control_L");
    sync();
    EXPECT_TRUE(calls.empty());
    keyboard->press("Alt_L");
    EXPECT_EQ(waitFor(1), Calls{"held"});
    keyboard->press("Shift_L");
    EXPECT_EQ(waitFor(1), Calls{"released"});
    keyboard->release("Shift_L");
    EXPECT_EQ(waitFor(1), Calls{"held"});
    keyboard->release("Alt_L");
    EXPECT_EQ(waitFor(1), Calls{"released"});
    keyboard->release("Control_L");
    keyboard->tap("a"); // an ordinary key is neither reported nor interpreted
    sync();
    EXPECT_TRUE(calls.empty());
}

TEST_F(HotkeyX11Test, MonitorReportsArrowReleasesAndModifiersOfTheFocusedClientOnly) {
    open();
    std::vector<std::string> events;
    EventMonitor::Handlers handlers;
    handlers.modifiersChanged = [&](Modifiers held) {
        events.push_back("modifiers " + ShortcutModifiers(held).displayString());
    };
    handlers.keyReleased = [&](Key key) {
        events.push_back(key == Key::down ? "released down" : "released another key");
    };
    const auto token = monitor->addMonitor(handlers);
    ASSERT_TRUE(token);

    keyboard->tap("Down"); // no grab: the key goes to xterm
    keyboard->tap("a");
    keyboard->press("Shift_L");
    keyboard->tap("Escape");
    keyboard->release("Shift_L");
    keyboard->tap("Caps_Lock"); // a lock key is no modifier of a shortcut
    keyboard->tap("Caps_Lock");
    sync();
    EXPECT_EQ(events, (std::vector<std::string>{"released down", "modifiers Shift", "modifiers "}));

    monitor->removeMonitor(*token);
    keyboard->tap("Up");
    sync();
    EXPECT_EQ(events.size(), 3u);
}

TEST_F(HotkeyX11Test, HotKeysFireWithCapsLockAndNumLockOn) {
    open();
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    calls.clear();

    keyboard->tap("Caps_Lock");
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Right"), (Calls{"held", "switch next", "released"}))
        << "Caps Lock neither blocks the hot key nor spoils the combination";

    keyboard->tap("Num_Lock");
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Left"),
              (Calls{"held", "switch previous", "released"}));

    keyboard->tap("Caps_Lock");
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Up"), (Calls{"held", "full on", "released"}))
        << "Num Lock alone";
}

TEST_F(HotkeyX11Test, NumLockMovedToAnotherModifierIsRegrabbed) {
    open();
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    session->run("xmodmap -e 'clear mod2' -e 'add mod3 = Num_Lock'");
    sync();
    keyboard->tap("Num_Lock");
    calls.clear();
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Right"), (Calls{"held", "switch next", "released"}));
}

TEST_F(HotkeyX11Test, ComboGrabbedByAnotherClientFailsCleanlyAndTheOldOneKeepsWorking) {
    open();
    xcb_connection_t* other = xcb_connect(session->display().c_str(), nullptr);
    xcb_generic_error_t* error = xcb_request_check(
        other,
        xcb_grab_key_checked(other, 0, connection->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1,
                             keycodeOf(other, XK_Left), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    ASSERT_EQ(error, nullptr);

    makeManager(controlAlt);
    EXPECT_FALSE(manager->start());
    EXPECT_EQ(registrar->grabCount(), 0u);
    EXPECT_TRUE(logMentions("Ctrl+Alt+←")) << (log.lines().empty() ? "" : log.lines().back());
    EXPECT_TRUE(otherClientCanGrab(session->display(), XK_Left,
                                   XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK))
        << "the Caps Lock variant that was taken is let go again";

    makeManager(controlSuper);
    ASSERT_TRUE(manager->start());
    EXPECT_FALSE(manager->registerHotkeys(controlAlt));
    EXPECT_EQ(manager->modifiers(), controlSuper);
    calls.clear();
    EXPECT_EQ(stroke({"Control_L", "Super_L"}, "Right"),
              (Calls{"held", "switch next", "released"}));

    EXPECT_TRUE(manager->registerHotkeys(controlShift));
    calls.clear();
    EXPECT_EQ(stroke({"Control_L", "Shift_L"}, "Left"),
              (Calls{"held", "switch previous", "released"}));
    EXPECT_EQ(stroke({"Control_L", "Super_L"}, "Right"), Calls{})
        << "the old combination is released";
    xcb_disconnect(other);
}

// While another client holds the whole keyboard (a menu, a drag, a screen locker) a press of
// the combination goes to it; that takes nothing away and the shortcut works once it lets go.
// A client holding a newer XInput2 passive grab of the same keys (as stock mutter may) does
// take them: its press is reported and the manager lets its grabs go.
TEST_F(HotkeyX11Test, APressAnActiveGrabTookKeepsTheShortcutARivalPassiveGrabTakesIt) {
    open();
    makeManager(controlAlt);
    ASSERT_TRUE(manager->start());
    const std::size_t grabs = registrar->grabCount();
    xcb_connection_t* other = xcb_connect(session->display().c_str(), nullptr);
    auto* grabbed =
        xcb_grab_keyboard_reply(other,
                                xcb_grab_keyboard(other, 0, connection->root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr);
    ASSERT_TRUE(grabbed && grabbed->status == XCB_GRAB_STATUS_SUCCESS);
    free(grabbed);
    calls.clear();
    stroke({"Control_L", "Alt_L"}, "Right");
    EXPECT_FALSE(logMentions("another program")) << log.lines().back();
    EXPECT_EQ(registrar->grabCount(), grabs);
    xcb_ungrab_keyboard(other, XCB_CURRENT_TIME);
    xcb_flush(other);
    EXPECT_EQ(stroke({"Control_L", "Alt_L"}, "Right"), (Calls{"held", "switch next", "released"}));

    const std::uint32_t keyEvents =
        XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
    const std::uint32_t mods = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
    auto* rival = xcb_input_xi_passive_grab_device_reply(
        other,
        xcb_input_xi_passive_grab_device(
            other, XCB_CURRENT_TIME, connection->root(), XCB_NONE, keycodeOf(other, XK_Right),
            XCB_INPUT_DEVICE_ALL_MASTER, 1, 1, XCB_INPUT_GRAB_TYPE_KEYCODE,
            XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC, 0, &keyEvents, &mods),
        nullptr);
    ASSERT_TRUE(rival && rival->num_modifiers == 0) << "the rival's grab is refused";
    free(rival);
    stroke({"Control_L", "Alt_L"}, "Right");
    EXPECT_TRUE(logMentions("Ctrl+Alt+→: another program takes its presses"))
        << (log.lines().empty() ? "" : log.lines().back());
    EXPECT_EQ(registrar->grabCount(), 0u);
    xcb_disconnect(other);
}

TEST_F(HotkeyX11Test, StockOpenboxRefusesTheDefaultAndControlSuperThenRegisters) {
    XvfbSession::Options options;
    options.stockBindings = true;
    open(options);
    makeManager(controlAlt);
    EXPECT_FALSE(manager->start());
    EXPECT_TRUE(logMentions("Ctrl+Alt")) << (log.lines().empty() ? "" : log.lines().back());
    EXPECT_EQ(registrar->grabCount(), 0u);

    ASSERT_TRUE(manager->registerHotkeys(controlSuper));
    ASSERT_TRUE(manager->start());
    calls.clear();
    EXPECT_EQ(stroke({"Control_L", "Super_L"}, "Left"),
              (Calls{"held", "switch previous", "released"}));
}
