// The shortcut's keys on headless sway: runtime bindings for the arrows, the keyboard held by a
// layer surface while the modifiers are down, and the user's session left as it was.
#include "input/HotkeyManager.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/sim/SimLog.h"
#include "platform/sway/SwayHotkeyRegistrar.h"
#include "platform/wayland/LayerKeyboardMonitor.h"
#include "support/SwaySubscription.h"
#include "support/sway/SwayVirtualKeyboard.h"
#include "sway/SwayTestSession.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace halvo::test {
namespace {

bool pump(const std::function<bool()>& pred, double seconds = 10) {
    return SwaySession::waitUntil(
        [&] {
            QApplication::processEvents();
            return pred();
        },
        seconds);
}

const Modifiers controlAlt = Modifier::control | Modifier::alt;

// A folder of the test's own user that nobody else may enter, as XDG_RUNTIME_DIR is: the only
// kind of folder the binding record is read from and written to.
struct RecordFolder {
    RecordFolder() {
        std::string pattern = "/tmp/halvo-records-XXXXXX";
        if (::mkdtemp(pattern.data()))
            path = pattern;
    }
    ~RecordFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

std::string describe(Modifiers held) {
    static constexpr std::pair<Modifier, const char*> names[] = {{Modifier::control, "Ctrl"},
                                                                 {Modifier::alt, "Alt"},
                                                                 {Modifier::super, "Super"},
                                                                 {Modifier::shift, "Shift"}};
    std::string text;
    for (const auto& [modifier, name] : names) {
        if (held.contains(modifier))
            text += (text.empty() ? "" : "+") + std::string(name);
    }
    return "mods " + (text.empty() ? std::string("none") : text);
}

const char* describe(Key key) {
    static constexpr const char* names[] = {"left", "right", "up", "down", "escape"};
    return names[static_cast<int>(key)];
}

// Whatever reached Halvo, in order: "mods Ctrl+Alt", "press next", "release next", "up right".
struct Recorder {
    std::vector<std::string> log;

    HotkeyRegistrar::Handler hotkeys() {
        return [this](const HotkeyRegistrar::Event& event) {
            static constexpr const char* kinds[] = {"press ", "release ", "taken ", "configured ",
                                                    "available "};
            log.push_back(kinds[static_cast<int>(event.kind)] + std::string(name(event.action)));
        };
    }
    EventMonitor::Handlers monitor() {
        return {[this](Modifiers held) { log.push_back(describe(held)); },
                [this](Key key) { log.push_back("up " + std::string(describe(key))); }};
    }
};

class SwayKeys : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(connection.ok()) << connection.error();
        ASSERT_TRUE(keyboard.ok()) << keyboard.error();
        ASSERT_FALSE(registrar.listen(recorder.hotkeys()));
        ASSERT_TRUE(monitor.addMonitor(recorder.monitor()));
    }

    bool registerAll(Modifiers modifiers) {
        for (HotkeyAction action : allHotkeyActions) {
            if (registrar.registerShortcut(action, modifiers).result !=
                RegistrationResult::registered)
                return false;
        }
        return true;
    }

    // Presses the keys in order, then releases them in the reverse order.
    bool chord(const std::vector<std::string>& keys) {
        for (const std::string& key : keys) {
            if (!keyboard.press(key))
                return false;
        }
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            if (!keyboard.release(*key))
                return false;
        }
        return true;
    }

    // Whether `count` entries arrived and the keyboard was given back; settle waits for it.
    bool settled(std::size_t count) const {
        return recorder.log.size() >= count && !monitor.holdsKeyboard();
    }
    bool settle(std::size_t count) {
        return pump([&] { return settled(count); });
    }

    SwaySession& session = swaySession();
    RecordFolder records;
    std::string recordPath = records.path + "/halvo-sway-bindings";
    WaylandConnection connection{session.waylandDisplay()};
    LayerKeyboardMonitor monitor{connection};
    SimLog log;
    SwayHotkeyRegistrar registrar{session.swaySocket(), monitor, recordPath, log};
    SwayVirtualKeyboard keyboard{session.waylandDisplay()};
    Recorder recorder;
};

// Each arrow with exactly the combination gives its press and release, the modifiers first; with
// an extra modifier nothing arrives.
TEST_F(SwayKeys, EachArrowGivesPressAndReleaseOnlyWithTheExactCombination) {
    ASSERT_TRUE(registerAll(controlAlt));
    const std::vector<std::string> arrows = {"Left", "Right", "Up", "Down"};
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < arrows.size(); ++i) {
        ASSERT_TRUE(chord({"Control_L", "Alt_L", "Shift_L", arrows[i]}));
        ASSERT_TRUE(chord({"Super_L", "Alt_L", arrows[i]}));
        ASSERT_TRUE(chord({"Control_L", "Alt_L", arrows[i]}));
        const std::string action = name(allHotkeyActions[i]);
        expected.insert(expected.end(),
                        {"mods Ctrl+Alt", "press " + action, "release " + action, "mods none"});
        ASSERT_TRUE(settle(expected.size()));
    }
    EXPECT_EQ(recorder.log, expected);
}

// Caps Lock and Num Lock never get in the way.
TEST_F(SwayKeys, LockKeysDoNotGetInTheWay) {
    ASSERT_TRUE(registerAll(controlAlt));
    for (const std::string lock : {"Num_Lock", "Caps_Lock"}) {
        ASSERT_TRUE(keyboard.tap(lock));
        ASSERT_TRUE(chord({"Control_L", "Alt_L", "Left"}));
        ASSERT_TRUE(keyboard.tap(lock));
        ASSERT_TRUE(settle(4));
        EXPECT_EQ(recorder.log, (std::vector<std::string>{"mods Ctrl+Alt", "press previous",
                                                          "release previous", "mods none"}))
            << lock;
        recorder.log.clear();
    }
}

// While the keyboard surface holds the keyboard, sway still runs the bindings: a second arrow
// arrives as a binding, and the modifiers' releases come from the keyboard one by one.
TEST_F(SwayKeys, BindingsStillRunWhileTheKeyboardIsHeld) {
    ASSERT_TRUE(registerAll(controlAlt));
    ASSERT_TRUE(keyboard.press("Control_L") && keyboard.press("Alt_L") && keyboard.press("Right"));
    ASSERT_TRUE(pump([&] { return monitor.hasKeyboardFocus(); }));
    ASSERT_TRUE(keyboard.release("Right") && keyboard.tap("Left"));
    ASSERT_TRUE(pump([&] { return recorder.log.size() >= 5; }));
    ASSERT_TRUE(keyboard.release("Alt_L") && keyboard.release("Control_L"));
    ASSERT_TRUE(settle(7));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"mods Ctrl+Alt", "press next", "release next",
                                                      "press previous", "release previous",
                                                      "mods Ctrl", "mods none"}));
}

// An arrow that is no binding (its combination no longer held) reaches the held keyboard: its
// release is reported.
TEST_F(SwayKeys, ArrowReleaseSeenWhileTheKeyboardIsHeld) {
    ASSERT_TRUE(registerAll(controlAlt));
    ASSERT_TRUE(keyboard.press("Control_L") && keyboard.press("Alt_L") && keyboard.tap("Down"));
    ASSERT_TRUE(pump([&] { return monitor.hasKeyboardFocus(); }));
    ASSERT_TRUE(keyboard.release("Alt_L") && keyboard.tap("Right"));
    ASSERT_TRUE(keyboard.release("Control_L"));
    ASSERT_TRUE(settle(6));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"mods Ctrl+Alt", "press exitFullScreen",
                                                      "release exitFullScreen", "mods Ctrl",
                                                      "up right", "mods none"}));
}

// Another client's keyboard-exclusive surface (a launcher) is up when the shortcut is pressed.
// Who gets the keyboard then is the compositor's choice: sway 1.7 leaves it with the surface that
// had it first, sway 1.10 gives it to the newest. Either way the modifiers never count as held
// once they are up: never given the keyboard, the hold ends by itself soon after the press; given
// it, the hold follows the modifiers and the launcher has the keyboard back afterwards.
TEST_F(SwayKeys, ALauncherHoldingTheKeyboardNeverLeavesTheModifiersHeld) {
    ASSERT_TRUE(registerAll(controlAlt));
    WaylandConnection other(session.waylandDisplay());
    LayerPlacement corner;
    corner.width = corner.height = 1;
    LayerSurface launcher(other, corner, true, [](QImage& image) { image.fill(Qt::transparent); });
    ASSERT_TRUE(pump([&] { return other.keyboardFocus() == launcher.surface(); }));
    ASSERT_TRUE(keyboard.press("Control_L") && keyboard.press("Alt_L") && keyboard.tap("Up"));
    ASSERT_TRUE(pump([&] { return monitor.hasKeyboardFocus() || settled(4); }));
    if (!monitor.hasKeyboardFocus()) {
        EXPECT_EQ(recorder.log, (std::vector<std::string>{"mods Ctrl+Alt", "press enterFullScreen",
                                                          "release enterFullScreen", "mods none"}))
            << "the keyboard never given, the hold ends while the keys are still down";
        EXPECT_EQ(other.keyboardFocus(), launcher.surface());
        ASSERT_TRUE(keyboard.release("Alt_L") && keyboard.release("Control_L"));
        return;
    }
    ASSERT_TRUE(keyboard.release("Alt_L") && keyboard.release("Control_L"));
    ASSERT_TRUE(settle(5));
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"mods Ctrl+Alt", "press enterFullScreen",
                                        "release enterFullScreen", "mods Ctrl", "mods none"}));
    EXPECT_TRUE(pump([&] { return other.keyboardFocus() == launcher.surface(); }))
        << "the launcher has the keyboard back";
}

// A key window of this process: which letters reach it.
class KeyWindow : public QWidget {
public:
    std::vector<int> letters;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
            letters.push_back(event->key());
    }
};

// With the modifiers up the window that had the keyboard has it again: its keys reach it, and
// none of those typed while the switch held the keyboard did.
TEST_F(SwayKeys, ModifiersReleasedGiveTheKeyboardBack) {
    KeyWindow window;
    window.show();
    ASSERT_TRUE(pump([&] { return window.isActiveWindow(); }));
    ASSERT_TRUE(keyboard.tap("c"));
    ASSERT_TRUE(pump([&] { return !window.letters.empty(); }));
    window.letters.clear();
    ASSERT_TRUE(registerAll(controlAlt));
    ASSERT_TRUE(keyboard.press("Control_L") && keyboard.press("Alt_L") && keyboard.tap("Left"));
    ASSERT_TRUE(pump([&] { return monitor.hasKeyboardFocus(); }));
    ASSERT_TRUE(keyboard.tap("a"));
    ASSERT_TRUE(keyboard.release("Alt_L") && keyboard.release("Control_L"));
    ASSERT_TRUE(settle(5));
    EXPECT_EQ(recorder.log.back(), "mods none");
    // Once sway has read the surface's end, the keyboard is the window's again.
    ASSERT_GE(wl_display_roundtrip(connection.display()), 0);
    ASSERT_TRUE(keyboard.tap("b"));
    ASSERT_TRUE(pump([&] { return !window.letters.empty(); }));
    EXPECT_EQ(window.letters, std::vector<int>{Qt::Key_B});
}

// A long hold under the shortcut logic: one switch, one long press, no repeated presses.
TEST_F(SwayKeys, LongHoldGivesOnePressOneReleaseAndOneLongPress) {
    QtMainQueue mainQueue;
    SimLog managerLog;
    SwayHotkeyRegistrar ownRegistrar(session.swaySocket(), monitor, {}, managerLog);
    HotkeyManager manager(ShortcutModifiers(controlAlt), ownRegistrar, monitor, mainQueue,
                          managerLog);
    std::vector<std::string> seen;
    manager.onSwitch = [&](HotkeyAction action) {
        seen.push_back("switch " + std::string(name(action)));
    };
    manager.onLongPress = [&](HotkeyAction action) {
        seen.push_back("long " + std::string(name(action)));
    };
    manager.onModifiersChanged = [&](bool held) { seen.push_back(held ? "held" : "up"); };
    registrar.stopListening(); // the fixture's registrar would hold the same combination
    ASSERT_TRUE(manager.start());
    SwaySubscription bindings(session, {"binding"});
    ASSERT_TRUE(keyboard.press("Control_L") && keyboard.press("Alt_L") && keyboard.press("Right"));
    // Held past the long press and through sway's key repeat (after 600 ms, 25 a second).
    pump([] { return false; }, 1.5);
    ASSERT_TRUE(keyboard.release("Right") && keyboard.release("Alt_L") &&
                keyboard.release("Control_L"));
    ASSERT_TRUE(pump([&] { return !seen.empty() && seen.back() == "up"; }));
    // The first "up" is the registration's: a new combination starts released.
    EXPECT_EQ(seen, (std::vector<std::string>{"up", "held", "switch next", "long next", "up"}));
    ASSERT_TRUE(bindings.sync());
    EXPECT_EQ(bindings.events().size(), 2u); // one press, one release
}

// Press and release of Ctrl+Alt+`arrow`: the commands of the binding events sway sent for them.
std::vector<std::string> commandsOf(SwaySession& session, const std::string& arrow) {
    SwaySubscription bindings(session, {"binding"});
    SwayVirtualKeyboard keyboard(session.waylandDisplay());
    if (!bindings.ok() || !keyboard.ok() || !keyboard.press("Control_L") ||
        !keyboard.press("Alt_L") || !keyboard.tap(arrow) || !keyboard.release("Alt_L") ||
        !keyboard.release("Control_L") || !bindings.sync())
        return {"no answer"};
    std::vector<std::string> commands;
    for (const nlohmann::json& event : bindings.events())
        commands.push_back(event["binding"].value("command", ""));
    return commands;
}

// However the registrations end, sway is left without Halvo's bindings and the record is gone; a
// combination registered twice stays bound until both registrations end.
TEST(SwayKeysCleanUp, NoBindingIsLeftBehind) {
    SwaySession& session = swaySession();
    RecordFolder records;
    const std::string record = records.path + "/cleanup-record";
    WaylandConnection connection(session.waylandDisplay());
    LayerKeyboardMonitor monitor(connection);
    SimLog log;
    const std::vector<std::string> halvoLeft = {"nop halvo press previous 3",
                                                "nop halvo release previous 3"};
    enum class End { unregister, stopListening, destruction };
    for (End end : {End::unregister, End::stopListening, End::destruction}) {
        auto registrar =
            std::make_unique<SwayHotkeyRegistrar>(session.swaySocket(), monitor, record, log);
        ASSERT_FALSE(registrar->listen([](const HotkeyRegistrar::Event&) {}));
        std::vector<HotkeyRegistrar::ShortcutRef> refs;
        for (int twice = 0; twice < 2; ++twice) {
            for (HotkeyAction action : allHotkeyActions)
                refs.push_back(registrar->registerShortcut(action, controlAlt).ref);
        }
        ASSERT_TRUE(std::ifstream(record).good());
        switch (end) {
        case End::unregister:
            for (std::size_t i = 0; i < allHotkeyActions.size(); ++i)
                registrar->unregisterShortcut(refs[i]);
            EXPECT_EQ(commandsOf(session, "Left"), halvoLeft);
            for (std::size_t i = allHotkeyActions.size(); i < refs.size(); ++i)
                registrar->unregisterShortcut(refs[i]);
            break;
        case End::stopListening:
            registrar->stopListening();
            break;
        case End::destruction:
            registrar.reset();
            break;
        }
        EXPECT_EQ(commandsOf(session, "Left"), std::vector<std::string>{})
            << "end " << static_cast<int>(end);
        EXPECT_FALSE(std::ifstream(record).good());
    }
}

// Bindings a crashed run left (listed in its record) are removed when the next run listens, and
// are no conflict for it. A line that is more than a combination is never run as a command.
TEST(SwayKeysCleanUp, BindingsOfACrashedRunAreRemoved) {
    SwaySession& session = swaySession();
    RecordFolder records;
    const std::string record = records.path + "/crash-record";
    ASSERT_TRUE(session.command("bindsym --no-repeat Ctrl+Mod1+Left nop halvo press previous 3; "
                                "bindsym --release Ctrl+Mod1+Left nop halvo release previous 3"));
    std::ofstream(record) << session.swaySocket()
                          << "\nCtrl+Mod1+Left\nCtrl+Mod1+Up; bindsym Ctrl+Mod1+Down nop pwned\n";
    WaylandConnection connection(session.waylandDisplay());
    LayerKeyboardMonitor monitor(connection);
    SimLog log;
    SwayHotkeyRegistrar registrar(session.swaySocket(), monitor, record, log);
    ASSERT_FALSE(registrar.listen([](const HotkeyRegistrar::Event&) {}));
    EXPECT_EQ(commandsOf(session, "Left"), std::vector<std::string>{});
    EXPECT_EQ(commandsOf(session, "Down"), std::vector<std::string>{});
    session.command("unbindsym Ctrl+Mod1+Down");
    EXPECT_EQ(log.lines().size(), 1u); // the line left out
    EXPECT_FALSE(std::ifstream(record).good());
    EXPECT_EQ(registrar.registerShortcut(HotkeyAction::previous, controlAlt).result,
              RegistrationResult::registered);
}

// A combination the user's configuration binds (through a variable, or in an included file by
// keycode) is refused as taken and keeps the user's command; one bound only in another mode is
// free. After a reload, which drops runtime bindings, they are made again, and one the new
// configuration binds is reported taken by it.
TEST(SwayKeysConflict, ConfiguredCombinationIsTakenAndLeftInPlace) {
    const std::string included = "/tmp/halvo-keys-" + std::to_string(getpid()) + ".conf";
    std::ofstream(included) << "bindcode --release Control+Mod1+116 nop user-down\n";
    SwaySession::Options options;
    options.twoOutputs = false;
    options.extraConfig = "set $ca Ctrl+Mod1\nbindsym --locked $ca+Up nop user-up\ninclude " +
                          included + "\nmode resize {\n  bindsym Ctrl+Alt+Left nop user-left\n}\n";
    SwaySession session(options);
    ASSERT_TRUE(session.ok()) << session.error();
    WaylandConnection connection(session.waylandDisplay());
    LayerKeyboardMonitor monitor(connection);
    SimLog log;
    SwayHotkeyRegistrar registrar(session.swaySocket(), monitor, {}, log);
    Recorder recorder;
    ASSERT_FALSE(registrar.listen(recorder.hotkeys()));
    std::vector<RegistrationResult> results;
    for (HotkeyAction action : allHotkeyActions)
        results.push_back(registrar.registerShortcut(action, controlAlt).result);
    EXPECT_EQ(results, (std::vector<RegistrationResult>{RegistrationResult::registered,
                                                        RegistrationResult::registered,
                                                        RegistrationResult::takenByConfiguration,
                                                        RegistrationResult::takenByConfiguration}));
    EXPECT_EQ(commandsOf(session, "Up"), std::vector<std::string>{"nop user-up"});

    std::ofstream(session.folder() + "/config", std::ios::app)
        << "bindsym Ctrl+Alt+Left nop user-left-now\n";
    ASSERT_TRUE(session.command("reload"));
    ASSERT_TRUE(pump([&] { return !recorder.log.empty(); }));
    EXPECT_EQ(recorder.log, std::vector<std::string>{"configured previous"});
    EXPECT_EQ(commandsOf(session, "Left"), std::vector<std::string>{"nop user-left-now"});
    EXPECT_EQ(commandsOf(session, "Right"),
              (std::vector<std::string>{"nop halvo press next 3", "nop halvo release next 3"}));
    std::remove(included.c_str());
}

// A binding of the user's combination added to the configuration by a reload takes Halvo's keys;
// the log names the configuration. Once a later reload no longer binds it, Halvo binds its keys
// again by itself and says so.
TEST(SwayKeysConflict, AReloadThatFreesTheCombinationGivesItBack) {
    SwaySession::Options options;
    options.twoOutputs = false;
    SwaySession session(options);
    ASSERT_TRUE(session.ok()) << session.error();
    WaylandConnection connection(session.waylandDisplay());
    LayerKeyboardMonitor monitor(connection);
    SimLog log;
    SwayHotkeyRegistrar registrar(session.swaySocket(), monitor, {}, log);
    QtMainQueue mainQueue;
    HotkeyManager manager(ShortcutModifiers(controlAlt), registrar, monitor, mainQueue, log);
    ASSERT_TRUE(manager.start());
    const std::string configPath = session.folder() + "/config";
    std::string original;
    {
        std::ifstream in(configPath);
        original.assign(std::istreambuf_iterator<char>(in), {});
    }
    const auto logged = [&](const std::string& part) {
        return pump([&] {
            const auto lines = log.lines();
            return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.find(part) != std::string::npos;
            });
        });
    };
    std::ofstream(configPath, std::ios::app) << "bindsym Ctrl+Mod1+Right exec true\n";
    ASSERT_TRUE(session.command("reload"));
    EXPECT_TRUE(logged("Ctrl+Alt+→: the user's sway configuration (" + configPath + ") binds it"))
        << testing::PrintToString(log.lines());
    EXPECT_EQ(commandsOf(session, "Left"), std::vector<std::string>{});

    std::ofstream(configPath, std::ios::trunc) << original;
    ASSERT_TRUE(session.command("reload"));
    EXPECT_TRUE(logged("The shortcut Ctrl+Alt works again")) << testing::PrintToString(log.lines());
    EXPECT_EQ(
        commandsOf(session, "Left"),
        (std::vector<std::string>{"nop halvo press previous 3", "nop halvo release previous 3"}));
    EXPECT_FALSE(manager.refusal());
}

} // namespace
} // namespace halvo::test
