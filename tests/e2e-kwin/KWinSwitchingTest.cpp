// The halvo program in a headless KWin (two outputs side by side): switching in the custom order
// across outputs, the end of a switch, long press, full screen, dragging an icon, a taken
// combination and KWin's loss, with keys and the pointer through KWin's fake input and KWin's own
// view of the windows read back.
#include "e2e/StatusNotifierWatcherStub.h"
#include "support/HalvoProgram.h"
#include "support/KWinSession.h"
#include "support/kwin/KWinFakeInput.h"

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>

namespace halvo::test {
namespace {

using Keys = KWinFakeInput;

// Qt 6 programs as apps (foot crashes on KWin's virtual outputs), by their app keys.
const std::string appA = "pixeltool";
const std::string appB = "qdistancefieldgenerator";
const std::string appC = "qdbusviewer";

class KWinSwitchingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.ok()) << session.error();
        char folder[] = "/tmp/halvo-kwin-e2e-XXXXXX";
        ASSERT_TRUE(mkdtemp(folder));
        configHome = folder;
        keys = std::make_unique<KWinFakeInput>(session.waylandDisplay());
        ASSERT_TRUE(keys->ok());
    }

    void TearDown() override {
        halvo.reset();
        std::error_code ignored;
        std::filesystem::remove_all(configHome, ignored);
    }

    // a on Virtual-0, b and c on Virtual-1; a active, the pointer on Virtual-0.
    void startApps() {
        for (const std::string& app : {appA, appB, appC}) {
            session.spawn({"/usr/lib/qt6/bin/" + app});
            ASSERT_TRUE(session.waitForWindow(app)) << app;
        }
        ASSERT_TRUE(session.placeAndActivate(appC, 1500, 100));
        ASSERT_TRUE(session.placeAndActivate(appB, 1400, 200));
        ASSERT_TRUE(session.placeAndActivate(appA, 100, 100));
        keys->movePointer(300, 300);
    }

    void storeOrder(const std::vector<std::string>& order) {
        std::filesystem::create_directories(configHome + "/halvo");
        std::ofstream(configHome + "/halvo/defaults.json")
            << nlohmann::json{{"halvo.customAppOrder", order}}.dump();
    }

    HalvoProgram::Environment halvoEnvironment() const {
        HalvoProgram::Environment environment{{"GSETTINGS_BACKEND", "memory"}};
        for (const std::string& variable : session.clientEnvironment()) {
            const auto at = variable.find('=');
            environment.emplace_back(variable.substr(0, at), variable.substr(at + 1));
        }
        return environment;
    }

    std::vector<std::string> storedOrder() const {
        std::ifstream in(configHome + "/halvo/defaults.json");
        const nlohmann::json settings = nlohmann::json::parse(in, nullptr, false);
        std::vector<std::string> order;
        if (settings.is_object() && settings.contains("halvo.customAppOrder") &&
            settings["halvo.customAppOrder"].is_array()) {
            for (const auto& id : settings["halvo.customAppOrder"])
                if (id.is_string())
                    order.push_back(id.get<std::string>());
        }
        return order;
    }

    // Starts the program; true once it has registered its shortcut with KGlobalAccel.
    bool startHalvo() {
        halvo = std::make_unique<HalvoProgram>(configHome, std::vector<std::string>{},
                                               halvoEnvironment());
        return KWinSession::waitUntil([&] { return componentHasShortcut(); }, 20) &&
               halvo->running();
    }

    // Whether KGlobalAccel lists Halvo's component with its "next" action.
    bool componentHasShortcut() const {
        const std::string out = session.folder() + "/components";
        const std::string command = "DBUS_SESSION_BUS_ADDRESS=" + session.busAddress() +
                                    " gdbus call --session --dest org.kde.kglobalaccel "
                                    "--object-path /component/halvo --method "
                                    "org.kde.kglobalaccel.Component.shortcutNames > " +
                                    out + " 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            return false;
        std::ifstream in(out);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        return text.find("'next'") != std::string::npos;
    }

    std::string activeApp() const {
        if (const auto list = session.windows()) {
            for (const auto& window : *list) {
                if (window.active)
                    return window.appKey;
            }
        }
        return {};
    }

    bool becomesActive(const std::string& app) const {
        return KWinSession::waitUntil([&] { return activeApp() == app; }, 10);
    }

    // The app whose window is on top. While Halvo holds the keyboard KWin calls Halvo's own
    // keyboard surface its active window; the window a step activated is raised and gets the
    // keyboard back when the switch ends.
    std::string topApp() const {
        std::string top;
        int highest = -1;
        for (const auto& window : session.windows().value_or(std::vector<KWinSession::Window>{})) {
            if (window.pid != halvo->pid() && window.stack > highest) {
                highest = window.stack;
                top = window.appKey;
            }
        }
        return top;
    }

    bool comesToTop(const std::string& app) const {
        return KWinSession::waitUntil([&] { return topApp() == app; }, 10);
    }

    // For failure messages: Halvo's log and KWin's last view of the windows.
    std::string story() const {
        const std::string kwin = session.log();
        const auto last = kwin.rfind("halvo-test-windows");
        return halvo->log() +
               "\nKWin: " + (last == std::string::npos ? std::string() : kwin.substr(last, 1500));
    }

    std::optional<KWinSession::Window> windowOf(const std::string& app) const {
        return session.waitForWindow(app, 1);
    }

    void holdModifiers() {
        keys->press(Keys::leftCtrl);
        keys->press(Keys::leftAlt);
    }

    void releaseModifiers() {
        keys->release(Keys::leftAlt);
        keys->release(Keys::leftCtrl);
    }

    KWinSession session;
    std::string configHome;
    std::unique_ptr<KWinFakeInput> keys;
    std::unique_ptr<HalvoProgram> halvo;
};

TEST_F(KWinSwitchingTest, StepsInTheCustomOrderAcrossOutputsAndReleaseEndsTheSwitch) {
    ASSERT_NO_FATAL_FAILURE(startApps());
    storeOrder({appA, appC, appB});
    ASSERT_TRUE(startHalvo()) << story();

    holdModifiers();
    keys->tap(Keys::right);
    EXPECT_TRUE(comesToTop(appC)) << story();
    // While the switch goes on Halvo's surfaces (the keyboard hold, the overlay) are up.
    EXPECT_TRUE(session.hasSurfaces(halvo->pid()));
    keys->tap(Keys::right);
    EXPECT_TRUE(comesToTop(appB)) << story();
    keys->tap(Keys::left);
    EXPECT_TRUE(comesToTop(appC)) << story();
    releaseModifiers();
    EXPECT_TRUE(KWinSession::waitUntil([&] { return !session.hasSurfaces(halvo->pid()); }, 5))
        << story();
    // The last step's app has the keyboard.
    EXPECT_TRUE(becomesActive(appC)) << story();

    // A new switch starts from the app in front.
    holdModifiers();
    keys->tap(Keys::right);
    EXPECT_TRUE(comesToTop(appB)) << story();
    releaseModifiers();
    EXPECT_TRUE(becomesActive(appB)) << story();
}

TEST_F(KWinSwitchingTest, LongPressMovesTheWindowToTheOutputTheSwitchBeganOn) {
    ASSERT_NO_FATAL_FAILURE(startApps());
    storeOrder({appA, appB, appC});
    ASSERT_TRUE(startHalvo()) << story();

    holdModifiers();
    keys->press(Keys::right);
    EXPECT_TRUE(comesToTop(appB)) << story();
    // Held past the long press, with KGlobalAccel's repeats coming meanwhile.
    EXPECT_TRUE(KWinSession::waitUntil(
        [&] {
            const auto b = windowOf(appB);
            return b && b->x + b->width / 2 < KWinSession::outputWidth;
        },
        10))
        << story();
    keys->release(Keys::right);
    releaseModifiers();
    // The repeats were no new steps: b is still the one selected.
    EXPECT_TRUE(becomesActive(appB)) << story();
    const auto c = windowOf(appC);
    ASSERT_TRUE(c);
    EXPECT_GE(c->x, KWinSession::outputWidth); // c stayed where it was
}

TEST_F(KWinSwitchingTest, UpAndDownTurnFullScreenOnAndOffAsKWinSeesIt) {
    ASSERT_NO_FATAL_FAILURE(startApps());
    storeOrder({appA, appB, appC});
    ASSERT_TRUE(startHalvo()) << story();

    holdModifiers();
    keys->tap(Keys::right);
    ASSERT_TRUE(comesToTop(appB)) << story();
    keys->tap(Keys::up);
    EXPECT_TRUE(KWinSession::waitUntil(
        [&] {
            const auto b = windowOf(appB);
            return b && b->fullScreen;
        },
        10))
        << story();
    keys->tap(Keys::down);
    EXPECT_TRUE(KWinSession::waitUntil(
        [&] {
            const auto b = windowOf(appB);
            return b && !b->fullScreen;
        },
        10))
        << story();
    releaseModifiers();
    const auto a = windowOf(appA);
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->fullScreen);
}

TEST_F(KWinSwitchingTest, ACombinationAnotherComponentHoldsIsReported) {
    // Another component takes Control+Alt+Right (0x0D000014: Control, Alt and Qt::Key_Right).
    const std::string gdbus = "DBUS_SESSION_BUS_ADDRESS=" + session.busAddress() +
                              " gdbus call --session --dest org.kde.kglobalaccel --object-path "
                              "/kglobalaccel --method org.kde.KGlobalAccel.";
    const std::string id = "\"['other', 'step', 'Other', 'Step']\"";
    ASSERT_EQ(std::system((gdbus + "doRegister " + id + " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(
                  (gdbus + "setShortcutKeys " + id + " \"[([218103828, 0, 0, 0],)]\" 6 >/dev/null")
                      .c_str()),
              0);
    halvo =
        std::make_unique<HalvoProgram>(configHome, std::vector<std::string>{}, halvoEnvironment());
    EXPECT_TRUE(halvo->waitForLog("another program already uses it", 20)) << story();
    EXPECT_TRUE(halvo->running());
}

TEST_F(KWinSwitchingTest, KWinGoneEndsHalvoWithStatusOne) {
    ASSERT_TRUE(startHalvo()) << story();
    session.stopKWin();
    EXPECT_EQ(halvo->waitForExit(10), 1) << story();
    EXPECT_NE(halvo->log().find("Halvo: Lost the connection to KWin; quitting."), std::string::npos)
        << story();
}

// KWin 5.27 lists layer surfaces among its windows, with their places: the overlay's place is
// read from KWin itself.
TEST_F(KWinSwitchingTest, TheOverlayShowsOnThePointersOutputUntilTheRelease) {
    ASSERT_NO_FATAL_FAILURE(startApps());
    // The app in front and the one the step selects on Virtual-0, the pointer on Virtual-1.
    ASSERT_TRUE(session.placeAndActivate(appC, 400, 150));
    ASSERT_TRUE(session.placeAndActivate(appA, 100, 100));
    keys->movePointer(2500, 20);
    storeOrder({appA, appC, appB});
    ASSERT_TRUE(startHalvo()) << story();

    holdModifiers();
    keys->tap(Keys::right);
    std::optional<KWinSession::Window> overlay;
    ASSERT_TRUE(KWinSession::waitUntil(
        [&] {
            for (const auto& w : session.windows().value_or(std::vector<KWinSession::Window>{})) {
                if (w.pid == halvo->pid() && w.width > 1)
                    overlay = w; // the 1x1 surface is the keyboard hold
            }
            return overlay.has_value();
        },
        10))
        << story();
    EXPECT_TRUE(comesToTop(appC)) << story();
    // Centred at the bottom of Virtual-1 (x 1280 to 2560).
    EXPECT_GE(overlay->x, KWinSession::outputWidth);
    EXPECT_NEAR(overlay->x + overlay->width / 2, KWinSession::outputWidth * 3 / 2, 2);
    EXPECT_GT(overlay->y, KWinSession::outputHeight / 2);
    EXPECT_LE(overlay->y + overlay->height, KWinSession::outputHeight);

    releaseModifiers();
    EXPECT_TRUE(KWinSession::waitUntil([&] { return !session.hasSurfaces(halvo->pid()); }, 5))
        << story();
}

// A click on an icon of the overlay activates its app, and dragging the first icon two cells
// right stores the new order (pointer events on the layer surface, in the real program). KWin
// gives the overlay the keyboard on a press; the switch still ends with the modifiers.
TEST_F(KWinSwitchingTest, AClickOnAnIconActivatesItsAppAndADragRewritesTheStoredOrder) {
    ASSERT_NO_FATAL_FAILURE(startApps());
    storeOrder({appA, appB, appC});
    ASSERT_TRUE(startHalvo()) << story();
    holdModifiers();
    keys->tap(Keys::right);
    std::optional<KWinSession::Window> overlay;
    ASSERT_TRUE(KWinSession::waitUntil(
        [&] {
            for (const auto& w : session.windows().value_or(std::vector<KWinSession::Window>{})) {
                if (w.pid == halvo->pid() && w.width > 1)
                    overlay = w;
            }
            return overlay.has_value();
        },
        10))
        << story();
    // Three cells of 72 points centred in the strip. The surface is the whole panel, with room
    // for the name bubble above the strip: the icons fill its lower part (y 61 to 127 of 148).
    const int cell = 72;
    const int firstX = overlay->x + overlay->width / 2 - cell;
    const int y = overlay->y + overlay->height * 5 / 8;
    ASSERT_TRUE(comesToTop(appB)) << story();
    keys->movePointer(firstX + 2 * cell, y);
    keys->leftButton(true);
    keys->leftButton(false);
    EXPECT_TRUE(comesToTop(appC)) << story();

    keys->movePointer(firstX, y);
    keys->leftButton(true);
    for (int x = firstX; x <= firstX + 2 * cell + 20; x += 8)
        keys->movePointer(x, y);
    keys->leftButton(false);
    std::vector<std::string> stored;
    EXPECT_TRUE(KWinSession::waitUntil(
        [&] {
            stored = storedOrder();
            return stored == std::vector<std::string>{appB, appC, appA};
        },
        10))
        << "stored: " << testing::PrintToString(stored) << "\n"
        << story();
    releaseModifiers();
    EXPECT_TRUE(KWinSession::waitUntil([&] { return !session.hasSurfaces(halvo->pid()); }, 5))
        << story();
}

// Plasma's tray is a StatusNotifierWatcher on the session bus: Halvo's icon registers with it.
TEST_F(KWinSwitchingTest, TheTrayIconRegistersWithTheSessionsWatcher) {
    int argc = 1;
    char name[] = "halvo_kwin_e2e_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    StatusNotifierWatcherStub watcher(QString::fromStdString(session.busAddress()));
    ASSERT_TRUE(watcher.ok());
    // The watcher answers from this thread: start the program without blocking on it.
    halvo =
        std::make_unique<HalvoProgram>(configHome, std::vector<std::string>{}, halvoEnvironment());
    EXPECT_TRUE(KWinSession::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return !watcher.items().isEmpty();
        },
        20))
        << story();
    EXPECT_EQ(halvo->log().find("No system tray"), std::string::npos) << story();
}

} // namespace
} // namespace halvo::test
