// The GNOME backends through the real extension in a headless GNOME Shell: this process plays
// Halvo (it owns Halvo's bus name on its own connection).
#include "platform/HotkeyAction.h"
#include "platform/gnome/GnomeEventMonitor.h"
#include "platform/gnome/GnomeHotkeyRegistrar.h"
#include "platform/gnome/GnomeScreens.h"
#include "platform/gnome/GnomeShellClient.h"
#include "platform/gnome/GnomeStatusItem.h"
#include "platform/gnome/GnomeWindowControl.h"
#include "platform/gnome/GnomeWorkspace.h"
#include "support/GnomeShellSession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace halvo {
namespace {

using test::GnomeShellSession;

// Waits for `pred` while delivering D-Bus signals.
bool spinUntil(const std::function<bool()>& pred, double seconds = 10) {
    return GnomeShellSession::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return pred();
        },
        seconds);
}

// A modifier report ("mods N", N in Halvo's bits: Control 1, Alt 2) with both held.
bool holdsControlAndAlt(const std::string& report) {
    return report.starts_with("mods ") && (std::stoi(report.substr(5)) & 3) == 3;
}

class GnomeBackendTest : public testing::Test {
protected:
    explicit GnomeBackendTest(GnomeShellSession::Options options = {}) : session(options) {}

    void SetUp() override {
        ASSERT_TRUE(session.ok()) << session.error();
        halvoBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(session.busAddress()), "halvo-" + QString::number(++count)));
        client = std::make_unique<GnomeShellClient>(*halvoBus);
        ASSERT_TRUE(client->start());
    }

    void TearDown() override {
        client.reset();
        if (halvoBus)
            QDBusConnection::disconnectFromBus(halvoBus->name());
    }

    // The extension hears of Halvo's name a moment after it is taken: changes wait for that.
    bool extensionKnowsHalvo(GnomeWindowControl& control, const WindowInfo& window) {
        return spinUntil([&] { return control.raise(window) == WindowResult::ok; });
    }

    GnomeShellSession session;
    std::unique_ptr<QDBusConnection> halvoBus;
    std::unique_ptr<GnomeShellClient> client;
    static inline int count = 0;
};

TEST_F(GnomeBackendTest, ListsAppsAndMonitorsActivatesAcrossMonitorsMovesAndFullScreens) {
    ASSERT_TRUE(session.startTerminal("app.a"));
    ASSERT_TRUE(session.startTerminal("app.b"));
    ASSERT_TRUE(spinUntil([&] { return session.focusedApp() == "app.b"; }));

    GnomeScreens screens(*client);
    const auto monitors = screens.screens();
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0].frame, (Rect{0, 0, 1280, 720}));
    EXPECT_EQ(monitors[0].visibleFrame.y, 32); // the top bar
    EXPECT_EQ(monitors[1].frame, (Rect{1280, 0, 1024, 768}));

    GnomeWorkspace workspace(*client);
    const auto apps = workspace.runningApplications();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, "app.b");
    const auto a = std::find_if(apps.begin(), apps.end(),
                                [](const auto& app) { return app.bundleIdentifier == "app.a"; });
    ASSERT_NE(a, apps.end());
    EXPECT_EQ(a->activationPolicy, ActivationPolicy::regular);

    GnomeWindowControl control(*client);
    const auto windowsOfA = control.windows(a->processIdentifier);
    ASSERT_TRUE(windowsOfA && windowsOfA->main);
    const WindowInfo window = *windowsOfA->find(windowsOfA->main);
    ASSERT_TRUE(extensionKnowsHalvo(control, window));

    // To the second monitor; then activated there, which the workspace reports.
    int activations = 0;
    workspace.addObserver(WorkspaceNotification::didActivateApplication, [&] { ++activations; });
    EXPECT_EQ(control.setFrame(window, {1400, 100, 500, 300}), WindowResult::ok);
    EXPECT_EQ(session.windowOf("app.a")["monitor"], 1);
    ASSERT_TRUE(workspace.activate(a->processIdentifier));
    EXPECT_TRUE(spinUntil([&] { return session.focusedApp() == "app.a" && activations > 0; }));

    const WindowInfo moved = *control.windows(a->processIdentifier)->find(window.id);
    EXPECT_EQ(moved.frame.x, 1400);
    EXPECT_EQ(control.setFullScreen(moved, true), WindowResult::ok);
    // Full screen on the monitor the window was moved to (mutter sets the frame after the state).
    EXPECT_TRUE(spinUntil([&] {
        return session.windowOf("app.a")["frame"] == nlohmann::json({1280, 0, 1024, 768});
    })) << session.windowOf("app.a").dump();
    EXPECT_EQ(control.setFullScreen(moved, false), WindowResult::ok);

    EXPECT_EQ(control.setMinimized(moved, true), WindowResult::ok);
    EXPECT_TRUE(workspace.runningApplication(a->processIdentifier)->isHidden);
}

TEST_F(GnomeBackendTest, ShortcutPressesHoldTheKeyboardUntilTheModifiersAreReleased) {
    ASSERT_TRUE(session.startTerminal("app.a"));
    GnomeEventMonitor monitor(*client);
    GnomeHotkeyRegistrar registrar(*client, monitor);
    std::vector<HotkeyRegistrar::Event> events;
    std::vector<std::string> keyboard; // what the monitor heard, in order
    ASSERT_FALSE(registrar.listen([&](const auto& event) { events.push_back(event); }));
    monitor.addMonitor(
        {[&](Modifiers held) { keyboard.push_back("mods " + std::to_string(held.bits())); },
         [&](Key key) { keyboard.push_back("up " + std::to_string(int(key))); }});
    const Modifiers combination = Modifier::control | Modifier::alt;
    // The extension grants Halvo's grabs once it has heard of Halvo's name.
    ASSERT_TRUE(spinUntil([&] {
        const auto registration = registrar.registerShortcut(HotkeyAction::next, combination);
        return registration.result == RegistrationResult::registered;
    }));
    for (HotkeyAction action : {HotkeyAction::previous, HotkeyAction::enterFullScreen})
        ASSERT_EQ(registrar.registerShortcut(action, combination).result,
                  RegistrationResult::registered);

    ASSERT_TRUE(session.press(GnomeShellSession::controlL) &&
                session.press(GnomeShellSession::altL) && session.press(GnomeShellSession::right));
    ASSERT_TRUE(spinUntil([&] { return !events.empty(); }));
    // Held past the key repeat's delay: still one press.
    GnomeShellSession::waitUntil(
        [] {
            QCoreApplication::processEvents();
            return false;
        },
        0.8);
    ASSERT_TRUE(session.release(GnomeShellSession::right) && session.tap(GnomeShellSession::up));
    ASSERT_TRUE(session.release(GnomeShellSession::altL) &&
                session.release(GnomeShellSession::controlL));
    ASSERT_TRUE(spinUntil([&] { return !keyboard.empty() && keyboard.back() == "mods 0"; }))
        << testing::PrintToString(keyboard);
    EXPECT_EQ(events,
              (std::vector<HotkeyRegistrar::Event>{
                  {HotkeyRegistrar::Event::Kind::pressed, HotkeyAction::next, 0},
                  {HotkeyRegistrar::Event::Kind::pressed, HotkeyAction::enterFullScreen, 0}}));
    const std::string right = "up " + std::to_string(int(Key::right));
    const std::string up = "up " + std::to_string(int(Key::up));
    // Keys typed in a burst reach the shell's actors after mutter matched the accelerators, so
    // the hold's reports of earlier keys (the warm-up Shift, the modifiers' presses, the Right
    // arrow's release) may come after a later press's. Each arrow's release is reported, in order;
    // Control and Alt count as held until Alt's release, then Control's.
    const auto rightUp = std::find(keyboard.begin(), keyboard.end(), right);
    const auto upUp = std::find(keyboard.begin(), keyboard.end(), up);
    EXPECT_LT(rightUp, upUp) << testing::PrintToString(keyboard);
    ASSERT_GE(keyboard.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(keyboard.end() - 2, keyboard.end()),
              (std::vector<std::string>{"mods 1", "mods 0"}));
    for (auto report = keyboard.begin(); report != keyboard.end() - 2; ++report)
        EXPECT_TRUE(report->starts_with("up ") || holdsControlAndAlt(*report))
            << testing::PrintToString(keyboard);

    // The hold is over: a lone arrow reaches the focused window, not Halvo.
    ASSERT_TRUE(session.tap(GnomeShellSession::right));
    spinUntil([] { return false; }, 0.3);
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(GnomeBackendTest, OnlyHalvoMayChangeWindowsAndItsGrabsGoWithIt) {
    const auto id = session.startTerminal("app.a");
    ASSERT_TRUE(id);
    GnomeEventMonitor monitor(*client);
    GnomeHotkeyRegistrar registrar(*client, monitor);
    ASSERT_TRUE(spinUntil([&] {
        return registrar.registerShortcut(HotkeyAction::next, Modifier::control | Modifier::alt)
                   .result == RegistrationResult::registered;
    }));
    const QString service = GnomeShellClient::serviceName;
    const QString path = GnomeShellClient::objectPath;
    auto call = [&](const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, service, method);
        message.setArguments(arguments);
        return session.bus().call(message);
    };
    // The test's own connection does not own Halvo's name.
    const QDBusMessage refused = call("Activate", {QVariant::fromValue(qulonglong(*id))});
    EXPECT_EQ(refused.errorName(), "org.freedesktop.DBus.Error.AccessDenied");
    const QDBusMessage grabbed = call("GetGrabbedShortcuts");
    ASSERT_EQ(grabbed.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(qdbus_cast<QList<uint>>(grabbed.arguments().first()), QList<uint>{2});

    // Halvo's name goes (as when it quits or crashes) while the registrar still holds the grabs.
    ASSERT_TRUE(halvoBus->interface()->unregisterService(GnomeShellClient::halvoName).value());
    EXPECT_TRUE(spinUntil([&] {
        return qdbus_cast<QList<uint>>(call("GetGrabbedShortcuts").arguments().value(0)).isEmpty();
    }));
}

TEST_F(GnomeBackendTest, TheTopBarMenuTellsHalvoAloneWhichRowWasClickedAndGoesWithHalvo) {
    GnomeStatusItem item(*client);
    int abouts = 0;
    int quits = 0;
    item.setMenu({{"Window manager required", false, nullptr, "", false},
                  StatusMenuItem::separator(),
                  {"About Halvo", true, [&] { ++abouts; }, "", false},
                  {"Quit Halvo", true, [&] { ++quits; }, "q", false}});
    ASSERT_TRUE(session.menuState()["button"].is_array()) << session.menuState().dump();
    // Another connection on the bus hears nothing of Halvo's choices.
    GnomeShellClient bystander(session.bus());
    int overheard = 0;
    QObject::connect(&bystander, &GnomeShellClient::menuActivated, [&] { ++overheard; });

    ASSERT_TRUE(session.chooseFromMenu("Quit Halvo")) << session.menuState().dump();
    EXPECT_TRUE(spinUntil([&] { return quits == 1; }));
    EXPECT_EQ(abouts, 0);
    // The informational row is there and greyed: a click leaves the menu open.
    ASSERT_TRUE(session.chooseFromMenu("Window manager required")) << session.menuState().dump();
    spinUntil([] { return false; }, 0.3); // time for a wrongly delivered signal to arrive
    const nlohmann::json state = session.menuState();
    EXPECT_TRUE(state["open"].get<bool>());
    ASSERT_EQ(state["rows"].size(), 3U) << state.dump();
    EXPECT_EQ(state["rows"][0]["enabled"], false);
    EXPECT_EQ(overheard, 0);

    // Out of bounds: the menu stays as it was.
    EXPECT_FALSE(client->setMenu({{0, std::string(121, 'x'), true, false}}));
    EXPECT_FALSE(
        client->setMenu(std::vector<GnomeShellClient::MenuRow>(33, {0, "x", true, false})));

    ASSERT_TRUE(halvoBus->interface()->unregisterService(GnomeShellClient::halvoName).value());
    EXPECT_TRUE(spinUntil([&] { return session.menuState()["button"].is_null(); }));
}

class GnomeStockShortcutsTest : public GnomeBackendTest {
protected:
    GnomeStockShortcutsTest() : GnomeBackendTest({.keepStockShortcuts = true}) {}
};

TEST_F(GnomeStockShortcutsTest, ACombinationGnomeBindsIsRefusedAsTakenByItsConfiguration) {
    GnomeEventMonitor monitor(*client);
    GnomeHotkeyRegistrar registrar(*client, monitor);
    ASSERT_TRUE(spinUntil([&] {
        // Not bound by stock GNOME.
        const Modifiers free = Modifier::control | Modifier::super | Modifier::shift;
        return registrar.registerShortcut(HotkeyAction::previous, free).result ==
               RegistrationResult::registered;
    }));
    EXPECT_EQ(
        registrar.registerShortcut(HotkeyAction::next, Modifier::control | Modifier::alt).result,
        RegistrationResult::takenByConfiguration);
    EXPECT_EQ(registrar.configurationName(), "GNOME's keyboard shortcuts");
}

TEST(GnomeExtensionProblemTest, AShellWithoutTheExtensionIsExplainedInOneSentence) {
    GnomeShellSession session({.withExtension = false});
    ASSERT_TRUE(session.ok()) << session.error();
    const auto problem = GnomeShellClient::problem(session.bus(), "0.1");
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("extension (halvo@c_seed_0d7007af.example) is not installed"),
              std::string::npos)
        << *problem;
}

} // namespace
} // namespace halvo
