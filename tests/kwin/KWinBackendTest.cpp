// The KWin backends against Halvo's real script in a private headless KWin: what it lists, what
// its commands do as KWin itself sees it, whom it hears, and KGlobalAccel's shortcuts.
#include "platform/kwin/KWinHotkeyRegistrar.h"
#include "platform/kwin/KWinScreens.h"
#include "platform/kwin/KWinScript.h"
#include "platform/kwin/KWinScriptChannel.h"
#include "platform/kwin/KWinScriptText.h"
#include "platform/kwin/KWinWindowControl.h"
#include "platform/kwin/KWinWorkspace.h"
#include "platform/sim/SimLog.h"
#include "platform/wayland/LayerKeyboardMonitor.h"
#include "platform/wayland/WaylandConnection.h"
#include "support/KWinSession.h"
#include "support/kwin/KWinFakeInput.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <gtest/gtest.h>
#include <unistd.h>

namespace halvo {
namespace {

using test::KWinFakeInput;
using test::KWinSession;

bool spin(const std::function<bool()>& pred, double seconds = 10) {
    return KWinSession::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return pred();
        },
        seconds);
}

class KWinBackendTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.ok()) << session.error();
        session.exportEnvironment();
        static int connections = 0;
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(session.busAddress()),
                                          QStringLiteral("kwin-test-%1").arg(++connections)));
        ASSERT_TRUE(bus->isConnected());
        const QString owner = bus->interface()->serviceOwner(QStringLiteral("org.kde.KWin"));
        channel = std::make_unique<KWinScriptChannel>(*bus, owner);
        ASSERT_TRUE(channel->ok());
        script = std::make_unique<KWinScript>(
            *bus, KWinScriptText::forService(bus->baseService().toStdString(), getpid()));
        ASSERT_TRUE(script->ok()) << script->error();
        ASSERT_TRUE(channel->waitForScript(std::chrono::seconds(5))) << session.log();
    }

    void TearDown() override {
        script.reset();
        channel.reset();
        bus.reset();
    }

    pid_t startApp(const std::string& app) {
        const pid_t pid = session.spawn({"/usr/lib/qt6/bin/" + app});
        EXPECT_TRUE(session.waitForWindow(app)) << app;
        return pid;
    }

    std::string kwinActiveApp() const {
        for (const auto& window : session.windows().value_or(std::vector<KWinSession::Window>{}))
            if (window.active)
                return window.appKey;
        return {};
    }

    KWinSession session;
    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<KWinScriptChannel> channel;
    std::unique_ptr<KWinScript> script;
};

TEST_F(KWinBackendTest, ListsOtherAppsAndKeepsTheFrontWhileHalvoHoldsTheKeyboard) {
    const pid_t a = startApp("pixeltool");
    startApp("qdistancefieldgenerator");
    KWinWorkspace workspace(*channel);
    ASSERT_TRUE(spin([&] { return workspace.runningApplications().size() == 2; }));
    ASSERT_TRUE(workspace.activate(a));
    ASSERT_TRUE(spin([&] { return kwinActiveApp() == "pixeltool"; }));
    ASSERT_TRUE(spin([&] {
        const auto front = workspace.frontmostApplication();
        return front && front->bundleIdentifier == "pixeltool";
    }));

    // Halvo's own 1x1 keyboard surface takes the keyboard: KWin may call it active, the
    // workspace does not, and lists no surface of Halvo's. (KWin's virtual backend has a
    // keyboard once fake input has sent a key.) The hold lasts while Control is down.
    KWinFakeInput keys(session.waylandDisplay());
    keys.press(KWinFakeInput::leftCtrl);
    WaylandConnection wayland;
    ASSERT_TRUE(wayland.ok());
    LayerKeyboardMonitor monitor(wayland, KeyboardHold::LostKeyboard::takeBack);
    ASSERT_TRUE(monitor.addMonitor({[](Modifiers) {}, [](Key) {}}));
    monitor.shortcutPressed(Modifier::control);
    ASSERT_TRUE(spin([&] { return monitor.hasKeyboardFocus(); })) << session.log();
    spin([] { return false; }, 0.3); // KWin's reports of the change arrive
    const auto front = workspace.frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleIdentifier, "pixeltool");
    EXPECT_EQ(workspace.runningApplications().size(), 2u);
    keys.release(KWinFakeInput::leftCtrl);
    EXPECT_TRUE(spin([&] { return !monitor.holdsKeyboard(); }));
}

TEST_F(KWinBackendTest, ActivatesMovesAndTurnsFullScreenAsKWinSeesIt) {
    startApp("pixeltool");
    const pid_t b = startApp("qdistancefieldgenerator");
    KWinWindowControl control(*channel);
    ASSERT_TRUE(control.isWindowManagerRunning());
    auto windows = control.windows(b);
    ASSERT_TRUE(windows && windows->main);
    const WindowInfo window = *windows->find(windows->main);

    EXPECT_EQ(control.activate(window), WindowResult::ok);
    EXPECT_TRUE(spin([&] { return kwinActiveApp() == "qdistancefieldgenerator"; }));

    // To the right output, size kept.
    const Rect target{1400, 150, window.frame.width, window.frame.height};
    EXPECT_EQ(control.setFrame(window, target), WindowResult::ok);
    const auto moved = session.waitForWindow("qdistancefieldgenerator");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->x, 1400);
    EXPECT_EQ(moved->y, 150);

    EXPECT_EQ(control.setFullScreen(window, true), WindowResult::ok);
    auto full = session.waitForWindow("qdistancefieldgenerator");
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->fullScreen);
    // Full screen on the output it is on: Virtual-1.
    EXPECT_TRUE(spin([&] {
        full = session.waitForWindow("qdistancefieldgenerator");
        return full && full->x == KWinSession::outputWidth && full->width == 1280;
    }));
    EXPECT_EQ(control.setFullScreen(window, false), WindowResult::ok);
    EXPECT_FALSE(session.waitForWindow("qdistancefieldgenerator")->fullScreen);

    // A window that went away.
    WindowInfo gone = window;
    gone.id = 999999;
    EXPECT_EQ(control.activate(gone), WindowResult::gone);
}

TEST_F(KWinBackendTest, ScreensAreKWinsOutputsNamedAsWaylandNamesThem) {
    WaylandConnection wayland;
    ASSERT_TRUE(wayland.ok());
    KWinScreens screens(*channel, wayland);
    const auto list = screens.screens();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Virtual-0");
    EXPECT_EQ(list[1].name, "Virtual-1");
    EXPECT_EQ(list[1].frame, (Rect{1280, 0, 1280, 800}));
    KWinFakeInput input(session.waylandDisplay());
    ASSERT_TRUE(input.ok());
    input.movePointer(1500, 300);
    EXPECT_EQ(screens.mouseLocation(), (Point{1500, 300}));
}

TEST_F(KWinBackendTest, HearsOnlyKWin) {
    QDBusConnection stranger = QDBusConnection::connectToBus(
        QString::fromStdString(session.busAddress()), QStringLiteral("kwin-test-stranger"));
    for (const char* method : {"poll", "report"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            bus->baseService(), QString::fromLatin1(KWinScriptText::objectPath),
            QString::fromLatin1(KWinScriptText::interfaceName), QString::fromLatin1(method));
        call.setArguments({QStringLiteral("{\"windows\":[],\"active\":0,\"screens\":[],"
                                          "\"cursor\":{\"x\":0,\"y\":0}}")});
        const QDBusMessage reply = stranger.call(call, QDBus::Block, 3000);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << method;
        EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
    }
    // The script's own loop still answers.
    EXPECT_FALSE(channel->state()->outputs().empty());
    KWinWindowControl control(*channel);
    EXPECT_TRUE(control.isWindowManagerRunning());
    QDBusConnection::disconnectFromBus(QStringLiteral("kwin-test-stranger"));
}

TEST_F(KWinBackendTest, ShortcutPressesOnceWhileHeldAndReportsATakenCombination) {
    WaylandConnection wayland;
    ASSERT_TRUE(wayland.ok());
    LayerKeyboardMonitor monitor(wayland, KeyboardHold::LostKeyboard::takeBack);
    SimLog log;
    KWinHotkeyRegistrar registrar(*bus, monitor, log);
    std::vector<HotkeyRegistrar::Event> events;
    ASSERT_FALSE(registrar.listen([&](const HotkeyRegistrar::Event& e) { events.push_back(e); }));
    const Modifiers controlAlt = Modifiers(Modifier::control) | Modifier::alt;
    const auto next = registrar.registerShortcut(HotkeyAction::next, controlAlt);
    ASSERT_EQ(next.result, RegistrationResult::registered);

    KWinFakeInput keys(session.waylandDisplay());
    ASSERT_TRUE(keys.ok());
    keys.press(KWinFakeInput::leftCtrl);
    keys.press(KWinFakeInput::leftAlt);
    keys.press(KWinFakeInput::right);
    ASSERT_TRUE(spin([&] { return !events.empty(); })) << session.log();
    // Held past KGlobalAccel's repeat delay: its repeats are no new presses.
    spin([] { return false; }, 1.2);
    keys.release(KWinFakeInput::right);
    ASSERT_TRUE(spin([&] { return events.size() >= 2; }));
    keys.release(KWinFakeInput::leftAlt);
    keys.release(KWinFakeInput::leftCtrl);
    spin([] { return false; }, 0.2);
    using Kind = HotkeyRegistrar::Event::Kind;
    EXPECT_EQ(events, (std::vector<HotkeyRegistrar::Event>{{Kind::pressed, HotkeyAction::next},
                                                           {Kind::released, HotkeyAction::next}}));

    // Another component holds Control+Alt+Left: refused as taken.
    const std::string gdbus = "DBUS_SESSION_BUS_ADDRESS=" + session.busAddress() +
                              " gdbus call --session --dest org.kde.kglobalaccel --object-path "
                              "/kglobalaccel --method org.kde.KGlobalAccel.";
    const std::string other = " \"['other', 'back', 'Other', 'Back']\"";
    ASSERT_EQ(std::system((gdbus + "doRegister" + other + " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((gdbus + "setShortcutKeys" + other +
                           " \"[([218103826, 0, 0, 0],)]\" 6 >/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(registrar.registerShortcut(HotkeyAction::previous, controlAlt).result,
              RegistrationResult::takenByAnotherProgram);
}

} // namespace
} // namespace halvo
