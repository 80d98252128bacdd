// The halvo program in headless sway: the scenarios of the X11 end-to-end tests, with real key
// events through a virtual keyboard and sway's own answers (its tree, grim's screenshots).
#include "e2e-sway/SwayHalvo.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace halvo::test {
namespace {

// Three apps in a custom order: a and b tiled on HEADLESS-1, c floating on HEADLESS-2.
class SwaySwitchingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
        ASSERT_TRUE(desktop.keyboard().ok()) << desktop.keyboard().error();
        ASSERT_TRUE(desktop.startApp("app.a", "HEADLESS-1"));
        ASSERT_TRUE(desktop.startApp("app.b", "HEADLESS-1"));
        ASSERT_TRUE(desktop.startApp("app.c", "HEADLESS-2", true));
        desktop.storeOrder({"app.a", "app.b", "app.c"});
        ASSERT_TRUE(desktop.session().command("[app_id=app.a] focus"));
        ASSERT_TRUE(desktop.pointer().moveTo(300, 300));
        ASSERT_TRUE(desktop.waitUntil([&] { return desktop.focusedApp() == "app.a"; }));
        desktop.rememberScreens();
        ASSERT_TRUE(desktop.startHalvo()) << desktop.halvo().log();
    }

    bool focuses(const std::string& appID) {
        return desktop.waitUntil([&] { return desktop.focusedApp() == appID; });
    }

    SwayHalvo desktop;
};

TEST_F(SwaySwitchingTest, SwitchInTheCustomOrderMovesAndFullScreenOnTheOutputItBeganOn) {
    auto& keys = desktop.keyboard();
    // sway hears the combination with an arrow only: Right opens the switch and steps once.
    ASSERT_TRUE(keys.press("Control_L") && keys.press("Alt_L") && keys.tap("Right"));
    EXPECT_TRUE(focuses("app.b")) << desktop.halvo().log();
    // The overlay: on the focused output, centred, nothing on the other one.
    QRect overlay;
    ASSERT_TRUE(desktop.waitUntil([&] {
        overlay = desktop.changedArea("HEADLESS-1");
        return overlay.width() > 100;
    })) << desktop.halvo().log();
    EXPECT_NEAR(overlay.center().x(), SwayHalvo::outputWidth / 2, 2);
    EXPECT_GT(overlay.top(), SwayHalvo::outputHeight / 2);
    const QRect elsewhere = desktop.changedArea("HEADLESS-2");
    EXPECT_TRUE(elsewhere.isEmpty())
        << "HEADLESS-2 changed at (" << elsewhere.x() << ", " << elsewhere.y() << ") "
        << elsewhere.width() << "x" << elsewhere.height();

    // Each step activates the next app of the stored order at once, across outputs.
    ASSERT_TRUE(keys.tap("Right"));
    EXPECT_TRUE(focuses("app.c"));
    ASSERT_TRUE(keys.tap("Left"));
    EXPECT_TRUE(focuses("app.b"));

    // Holding Right brings c's window to HEADLESS-1, where the switch began.
    ASSERT_EQ(desktop.outputOf("app.c"), "HEADLESS-2");
    ASSERT_TRUE(keys.press("Right"));
    EXPECT_TRUE(desktop.waitUntil([&] { return desktop.outputOf("app.c") == "HEADLESS-1"; }))
        << desktop.halvo().log();
    ASSERT_TRUE(keys.release("Right"));
    EXPECT_TRUE(focuses("app.c"));

    ASSERT_TRUE(keys.tap("Up"));
    EXPECT_TRUE(desktop.waitUntil([&] { return desktop.focusedFullScreenMode() == 1; }));
    ASSERT_TRUE(keys.tap("Down"));
    EXPECT_TRUE(desktop.waitUntil([&] { return desktop.focusedFullScreenMode() == 0; }));

    // Releasing the modifiers hides the overlay; c stays focused.
    ASSERT_TRUE(keys.release("Alt_L") && keys.release("Control_L"));
    EXPECT_TRUE(desktop.waitUntil([&] {
        const QRect left = desktop.changedArea("HEADLESS-1");
        return !left.intersects(overlay);
    }));
    EXPECT_EQ(desktop.focusedApp(), "app.c");
}

// Dragging the first icon of the overlay two cells right stores the new order (pointer events on
// the layer surface, in the real program).
TEST_F(SwaySwitchingTest, DraggingAnIconRewritesTheStoredOrder) {
    auto& keys = desktop.keyboard();
    ASSERT_TRUE(keys.press("Control_L") && keys.press("Alt_L") && keys.tap("Right"));
    QRect overlay;
    ASSERT_TRUE(desktop.waitUntil([&] {
        overlay = desktop.changedArea("HEADLESS-1");
        return overlay.width() > 100;
    })) << desktop.halvo().log();
    // Three cells of 72 points centred in the strip; the icons sit in the upper part of a cell.
    const int cell = 72;
    const int firstX = overlay.center().x() - cell;
    const int y = overlay.top() + overlay.height() / 3;
    auto& pointer = desktop.pointer();
    ASSERT_TRUE(pointer.moveTo(firstX, y) && pointer.press());
    for (int x = firstX; x <= firstX + 2 * cell + 20; x += 8)
        ASSERT_TRUE(pointer.moveTo(x, y));
    ASSERT_TRUE(pointer.release());
    EXPECT_TRUE(desktop.waitUntil([&] {
        return desktop.storedOrder() == std::vector<std::string>{"app.b", "app.c", "app.a"};
    })) << "stored: "
        << testing::PrintToString(desktop.storedOrder()) << "\n"
        << desktop.halvo().log();
    ASSERT_TRUE(keys.release("Alt_L") && keys.release("Control_L"));
}

TEST_F(SwaySwitchingTest, LosingSwayEndsTheProgramWithStatusOne) {
    ::kill(desktop.session().swayProcess(), SIGKILL);
    const auto status = desktop.halvo().waitForExit(10);
    ASSERT_TRUE(status.has_value()) << "Halvo still runs without sway";
    EXPECT_EQ(*status, 1);
    EXPECT_NE(desktop.halvo().log().find("Halvo: Lost the connection to sway; quitting."),
              std::string::npos)
        << desktop.halvo().log();
}

// A combination the user's sway configuration binds is refused, as a grab conflict on X11 is.
TEST(SwayRefusedShortcutTest, ACombinationTheConfigBindsIsReportedAndLeftAlone) {
    SwayHalvo desktop("bindsym Ctrl+Mod1+Right exec true\n");
    ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
    desktop.storeOrder({});
    desktop.startHalvo(false);
    EXPECT_TRUE(desktop.halvo().waitForLog("Halvo: Could not register the shortcut"))
        << desktop.halvo().log();
    EXPECT_FALSE(desktop.halvo().waitForExit(0.5)) << "Halvo keeps running without a shortcut";
}

// Started in the Wayland session of another compositor (chosen from the environment alone, so none
// need run), even with XWayland's DISPLAY, Halvo says what it supports and ends.
TEST(SwaySessionChoiceTest, AnotherWaylandCompositorIsRefusedWithWhatToDo) {
    char folder[] = "/tmp/halvo-session-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    HalvoProgram halvo(
        folder, {},
        {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":99"}, {"XDG_CURRENT_DESKTOP", "LXQt"}});
    EXPECT_EQ(halvo.waitForExit(10), 1);
    EXPECT_NE(halvo.log().find("Halvo: This Wayland session (LXQt) is not sway, GNOME or KDE "
                               "Plasma; Halvo supports sway, GNOME and KDE Plasma on Wayland and "
                               "any EWMH window manager on X11. Log in to an X11 session or to "
                               "sway, GNOME or KDE Plasma."),
              std::string::npos)
        << halvo.log();
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace halvo::test
