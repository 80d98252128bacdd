// The real program switching real X clients: the overlay's place and size, stepping with Right,
// release, drag reordering, full screen and the long-press move, driven by XTEST keys.
#include "support/HalvoDesktop.h"

#include <gtest/gtest.h>

using namespace halvo::test;

namespace {

const char* fourAppsInOrder = R"({"halvo.customAppOrder": ["XTerm", "XLogo", "XCalc", "Xedit"],
                                  "halvo.minimapTheme": "light"})";

class SwitchingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.ok()) << desktop.error();
        ASSERT_TRUE(desktop.startClients());
    }

    void startWithOrder(const char* settings = fourAppsInOrder) {
        desktop.writeSettings(settings);
        halvo = desktop.startHalvo();
        ASSERT_TRUE(desktop.activate("XTerm"));
    }

    static void expectFrame(const WindowFrame& actual, const WindowFrame& expected) {
        EXPECT_EQ(actual.x, expected.x);
        EXPECT_EQ(actual.y, expected.y);
        EXPECT_EQ(actual.width, expected.width);
        EXPECT_EQ(actual.height, expected.height);
    }

    HalvoDesktop desktop{HalvoDesktop::Options{.tray = true}};
    std::unique_ptr<HalvoProgram> halvo;
};

TEST_F(SwitchingTest, OverlayOpensOnThePointersMonitorAndRightStepsInCustomOrder) {
    startWithOrder();
    desktop.watcher().movePointer(600, 500);
    desktop.holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true)) << halvo->log();
    const xcb_window_t overlay = *desktop.watcher().visibleOverlay();
    EXPECT_TRUE(desktop.watcher().isOverrideRedirect(overlay));
    // Four apps on the left monitor, whose visible area ends above the tray's strut.
    expectFrame(*desktop.watcher().frame(overlay),
                HalvoDesktop::expectedOverlay(4, 0, HalvoDesktop::trayHeight));
    const WindowFrame frame = *desktop.watcher().frame(overlay);
    // The stored light theme: a light panel.
    EXPECT_TRUE(desktop.watcher().waitFor([&] {
        return *desktop.watcher().brightnessAt(frame.x + 18, frame.y + 90) > 170.0;
    })) << *desktop.watcher().brightnessAt(frame.x + 18, frame.y + 90);

    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XLogo")) << desktop.watcher().activeClass();
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XCalc")) << desktop.watcher().activeClass();
    EXPECT_TRUE(desktop.watcher().visibleOverlay().has_value());

    desktop.releaseCombination();
    ASSERT_TRUE(desktop.waitForOverlay(false));
    EXPECT_EQ(desktop.watcher().activeClass(), "XCalc");

    // The next switch follows the pointer to the right monitor, which has no strut.
    desktop.watcher().movePointer(1900, 500);
    desktop.holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    expectFrame(*desktop.watcher().frame(*desktop.watcher().visibleOverlay()),
                HalvoDesktop::expectedOverlay(4, HalvoDesktop::monitorWidth, 0));
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("Xedit"));
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XTerm")) << "Right wraps to the first app";
    desktop.releaseCombination();
    EXPECT_TRUE(desktop.waitForOverlay(false));
}

TEST_F(SwitchingTest, DraggingAnIconRewritesTheStoredOrder) {
    startWithOrder();
    desktop.watcher().movePointer(600, 300);
    desktop.holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    const WindowFrame frame = *desktop.watcher().frame(*desktop.watcher().visibleOverlay());

    // XTerm, the first icon, dragged past XCalc.
    const auto [fromX, fromY] = HalvoDesktop::cellCentre(frame, 4, 0);
    const auto [toX, toY] = HalvoDesktop::cellCentre(frame, 4, 2);
    desktop.watcher().movePointer(fromX, fromY);
    desktop.watcher().pressButton(1);
    for (int x = fromX; x <= toX + 20; x += 8)
        desktop.watcher().movePointer(x, fromY);
    desktop.watcher().releaseButton(1);

    const std::vector<std::string> expected{"XLogo", "XCalc", "XTerm", "Xedit"};
    EXPECT_TRUE(desktop.watcher().waitFor([&] {
        return desktop.settings()["halvo.customAppOrder"] == expected;
    })) << desktop.settings().dump();
    desktop.releaseCombination();
    EXPECT_TRUE(desktop.waitForOverlay(false));
}

TEST_F(SwitchingTest, UpAndDownSetAndClearFullScreenOfTheActiveWindow) {
    startWithOrder();
    const xcb_window_t xterm = desktop.watcher().clientOfClass("XTerm");
    desktop.holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    desktop.keyboard().tap("Up");
    EXPECT_TRUE(desktop.watcher().waitFor([&] { return desktop.watcher().isFullScreen(xterm); }));
    EXPECT_TRUE(desktop.waitForOverlay(false)) << "Up hides the overlay";
    desktop.keyboard().tap("Down");
    EXPECT_TRUE(desktop.watcher().waitFor([&] { return !desktop.watcher().isFullScreen(xterm); }));
    desktop.releaseCombination();
    EXPECT_EQ(desktop.watcher().activeClass(), "XTerm");
}

TEST_F(SwitchingTest, LongPressMovesTheSelectedAppToTheMonitorWhereTheSwitchBegan) {
    startWithOrder(R"({"halvo.customAppOrder": ["XTerm", "XCalc", "XLogo", "Xedit"]})");
    const xcb_window_t xcalc = desktop.watcher().clientOfClass("XCalc");
    ASSERT_GE(desktop.watcher().frame(xcalc)->x, HalvoDesktop::monitorWidth);

    desktop.watcher().movePointer(600, 500);
    desktop.holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    desktop.keyboard().press("Right");
    EXPECT_TRUE(desktop.waitForActive("XCalc"));
    const bool moved = desktop.watcher().waitFor(
        [&] { return desktop.watcher().frame(xcalc)->x < HalvoDesktop::monitorWidth; });
    desktop.keyboard().release("Right");
    desktop.releaseCombination();
    EXPECT_TRUE(moved) << "xcalc is still at x " << desktop.watcher().frame(xcalc)->x;
    EXPECT_EQ(desktop.watcher().activeClass(), "XCalc");
}

} // namespace
