// The halvo program in a headless GNOME Shell: the scenarios of the X11 end-to-end tests, with
// keys typed through mutter and the shell's own answers (the extension's window list).
#include "e2e-gnome/GnomeHalvo.h"

#include <QCoreApplication>
#include <QImage>
#include <csignal>
#include <gtest/gtest.h>

namespace halvo::test {
namespace {

using Keys = GnomeShellSession;

// The bounding box of the pixels within `area` that differ between the two images.
QRect changedArea(const QImage& before, const QImage& after, const QRect& area) {
    QRect changed;
    if (before.size() != after.size())
        return area;
    const QRect inside = area.intersected(before.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
        }
    }
    return changed;
}

// Three apps in a custom order: c on the second monitor, b and a on the first, a in front.
class GnomeSwitchingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
        ASSERT_TRUE(desktop.startApp("app.c", 1));
        ASSERT_TRUE(desktop.startApp("app.b", 0));
        ASSERT_TRUE(desktop.startApp("app.a", 0));
        desktop.storeOrder({"app.a", "app.b", "app.c"});
        ASSERT_TRUE(desktop.waitUntil([&] { return desktop.focusedApp() == "app.a"; }));
        ASSERT_TRUE(desktop.startHalvo()) << desktop.halvo().log();
    }

    bool focuses(const std::string& appID) {
        return desktop.waitUntil([&] { return desktop.focusedApp() == appID; });
    }

    GnomeHalvo desktop;
};

TEST_F(GnomeSwitchingTest, StepsInTheCustomOrderAcrossMonitorsMoveAndFullScreen) {
    auto& keys = desktop.session();
    ASSERT_TRUE(keys.press(Keys::controlL) && keys.press(Keys::altL) && keys.tap(Keys::right));
    EXPECT_TRUE(focuses("app.b")) << desktop.halvo().log();
    // Each step activates the next app of the stored order at once, across monitors.
    ASSERT_TRUE(keys.tap(Keys::right));
    EXPECT_TRUE(focuses("app.c"));
    ASSERT_TRUE(keys.tap(Keys::left));
    EXPECT_TRUE(focuses("app.b"));

    // Holding Right brings c's window to the first monitor, where the switch began.
    ASSERT_EQ(desktop.monitorOf("app.c"), 1);
    ASSERT_TRUE(keys.press(Keys::right));
    EXPECT_TRUE(desktop.waitUntil([&] { return desktop.monitorOf("app.c") == 0; }))
        << desktop.halvo().log();
    ASSERT_TRUE(keys.release(Keys::right));
    EXPECT_TRUE(focuses("app.c"));

    ASSERT_TRUE(keys.tap(Keys::up));
    EXPECT_TRUE(desktop.waitUntil([&] { return desktop.isFullScreen("app.c"); }));
    ASSERT_TRUE(keys.tap(Keys::down));
    EXPECT_TRUE(desktop.waitUntil([&] { return !desktop.isFullScreen("app.c"); }));

    // Releasing the modifiers ends the switch: a lone arrow then goes to c, not to Halvo, so the
    // next switch steps once from c, to a.
    ASSERT_TRUE(keys.release(Keys::altL) && keys.release(Keys::controlL));
    ASSERT_TRUE(keys.tap(Keys::right));
    ASSERT_TRUE(keys.press(Keys::controlL) && keys.press(Keys::altL) && keys.tap(Keys::right));
    EXPECT_TRUE(focuses("app.a"));
    ASSERT_TRUE(keys.release(Keys::altL) && keys.release(Keys::controlL));
    EXPECT_EQ(desktop.focusedApp(), "app.a") << desktop.halvo().log();
}

// The overlay: drawn by the shell on the first monitor (the pointer's), centred, below the windows;
// nothing on the second; gone with the release.
TEST_F(GnomeSwitchingTest, TheOverlayShowsOnThePointersMonitorUntilTheRelease) {
    auto& keys = desktop.session();
    // Below every window of the first monitor nothing changes but the overlay.
    int windowsEnd = 0;
    const nlohmann::json windows = keys.windows();
    for (const auto& window : windows["windows"]) {
        if (window["monitor"] == 0)
            windowsEnd =
                std::max(windowsEnd, window["frame"][1].get<int>() + window["frame"][3].get<int>());
    }
    ASSERT_LT(windowsEnd, 600);
    const QRect first(0, windowsEnd + 1, 1280, 720 - windowsEnd - 1);
    const QRect second(1280, 0, 1024, 768);
    const QImage before = keys.screenshot();
    ASSERT_FALSE(before.isNull());

    ASSERT_TRUE(keys.press(Keys::controlL) && keys.press(Keys::altL) && keys.tap(Keys::right));
    ASSERT_TRUE(focuses("app.b")) << desktop.halvo().log();
    QRect overlay;
    QImage during;
    ASSERT_TRUE(desktop.waitUntil([&] {
        during = keys.screenshot();
        overlay = changedArea(before, during, first);
        return overlay.width() > 100;
    })) << desktop.halvo().log();
    EXPECT_NEAR(overlay.center().x(), 640, 4);
    EXPECT_TRUE(changedArea(before, during, second).isEmpty());

    ASSERT_TRUE(keys.release(Keys::altL) && keys.release(Keys::controlL));
    EXPECT_TRUE(
        desktop.waitUntil([&] { return changedArea(before, keys.screenshot(), first).isEmpty(); }));
}

// Dragging the first icon of the overlay two cells right stores the new order: the shell hands
// the pointer events over the overlay back to Halvo's view, also while it holds the keyboard.
TEST_F(GnomeSwitchingTest, DraggingAnIconRewritesTheStoredOrder) {
    auto& keys = desktop.session();
    // The overlay shows below the windows of the first monitor (see the test above).
    const QRect belowWindows(0, 600, 1280, 120);
    const QImage before = keys.screenshot();
    ASSERT_TRUE(keys.press(Keys::controlL) && keys.press(Keys::altL) && keys.tap(Keys::right));
    ASSERT_TRUE(focuses("app.b")) << desktop.halvo().log();
    ASSERT_TRUE(desktop.waitUntil([&] {
        return changedArea(before, keys.screenshot(), belowWindows).width() > 100;
    })) << desktop.halvo().log();
    // Three cells of 72 points centred on the monitor; the icons sit in the cells' upper part.
    const int cell = 72;
    const int firstX = 640 - cell;
    const int y = 642;
    ASSERT_TRUE(keys.movePointerTo(firstX, y) && keys.pressButton());
    for (int x = firstX; x <= firstX + 2 * cell + 20; x += 8)
        ASSERT_TRUE(keys.movePointerTo(x, y));
    ASSERT_TRUE(keys.releaseButton());
    EXPECT_TRUE(desktop.waitUntil([&] {
        return desktop.storedOrder() == std::vector<std::string>{"app.b", "app.c", "app.a"};
    })) << "stored: "
        << testing::PrintToString(desktop.storedOrder()) << "\n"
        << desktop.halvo().log();
    ASSERT_TRUE(keys.release(Keys::altL) && keys.release(Keys::controlL));
}

TEST_F(GnomeSwitchingTest, LosingGnomeShellEndsTheProgramWithStatusOne) {
    ::kill(desktop.session().shellProcess(), SIGKILL);
    const auto status = desktop.halvo().waitForExit(10);
    ASSERT_TRUE(status.has_value()) << "Halvo still runs without GNOME Shell";
    EXPECT_EQ(*status, 1);
    EXPECT_NE(desktop.halvo().log().find("Halvo: Lost the connection to GNOME Shell; quitting."),
              std::string::npos)
        << desktop.halvo().log();
}

// Stock GNOME binds Control+Alt+arrows to workspace switching: Halvo says so, as it does of a
// refused grab on X11, and keeps running.
TEST(GnomeRefusedShortcutTest, GnomesOwnBindingOfTheCombinationIsReported) {
    GnomeHalvo desktop({.keepStockShortcuts = true});
    ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
    desktop.storeOrder({});
    desktop.startHalvo(false);
    EXPECT_TRUE(desktop.halvo().waitForLog("Halvo: Could not register the shortcut"))
        << desktop.halvo().log();
    EXPECT_NE(desktop.halvo().log().find("GNOME's keyboard shortcuts"), std::string::npos)
        << desktop.halvo().log();
    EXPECT_FALSE(desktop.halvo().waitForExit(0.5)) << "Halvo keeps running without a shortcut";
}

// GNOME has no tray: Halvo's menu is its own button in the top bar.
TEST(GnomeTopBarMenuTest, QuitFromTheTopBarMenuEndsHalvoAndTakesTheButton) {
    GnomeHalvo desktop;
    ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
    desktop.storeOrder({});
    ASSERT_TRUE(desktop.startHalvo()) << desktop.halvo().log();
    ASSERT_TRUE(desktop.session().chooseFromMenu("Quit Halvo"))
        << desktop.session().menuState().dump() << "\n"
        << desktop.halvo().log();
    EXPECT_EQ(desktop.halvo().waitForExit(10), 0) << desktop.halvo().log();
    EXPECT_TRUE(
        desktop.waitUntil([&] { return desktop.session().menuState()["button"].is_null(); }));
}

TEST(GnomeMissingExtensionTest, HalvoSaysWhatToDoAndEnds) {
    GnomeHalvo desktop({.withExtension = false});
    ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
    desktop.storeOrder({});
    desktop.startHalvo(false);
    EXPECT_EQ(desktop.halvo().waitForExit(15), 1) << desktop.halvo().log();
    EXPECT_NE(desktop.halvo().log().find("Halvo: Halvo's GNOME Shell extension "
                                         "(halvo@c_seed_0d7007af.example) is not installed"),
              std::string::npos)
        << desktop.halvo().log();
}

} // namespace
} // namespace halvo::test
