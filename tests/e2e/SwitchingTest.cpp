// The real program switching real X clients: the overlay's place and size, stepping with Right,
// release, drag reordering, full screen and the long-press move, driven by XTEST keys.
#include "e2e/HalvoDesktop.h"

#include <gtest/gtest.h>

using namespace halvo::test;

namespace {

const char* fourAppsInOrder = R"({"halvo.customAppOrder": ["XTerm", "XLogo", "XCalc", "Xedit"],
                                  "halvo.minimapTheme": "light"})";

class SwitchingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
        ASSERT_TRUE(desktop.startClients());
    }

    void startWithOrder(const char* settings = fourAppsInOrder) {
        desktop.writeSettings(settings);
        halvo = desktop.startHalvo();
        ASSERT_TRUE(desktop.activate("XTerm"));
    }

    void holdCombination() {
        desktop.keyboard().press("Control_L");
        desktop.keyboard().press("Alt_L");
    }
    void releaseCombination() {
        desktop.keyboard().release("Alt_L");
        desktop.keyboard().release("Control_L");
    }

    static void expectFrame(const WindowFrame& actual, const WindowFrame& expected) {
        EXPECT_EQ(actual.x, expected.x);
        EXPECT_EQ(actual.y, expected.y);
        EXPECT_EQ(actual.width, expected.width);
        EXPECT_EQ(actual.height, expected.height);
    }

    HalvoDesktop desktop{true};
    std::unique_ptr<HalvoProcess> halvo;
};

TEST_F(SwitchingTest, OverlayOpensOnThePointersMonitorAndRightStepsInCustomOrder) {
    startWithOrder();
    desktop.reader().movePointer(600, 500);
    holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true)) << halvo->log();
    const xcb_window_t overlay = *desktop.reader().visibleOverlay();
    EXPECT_TRUE(desktop.reader().isOverrideRedirect(overlay));
    // Four apps on the left monitor, whose visible area ends above the tray's strut.
    expectFrame(*desktop.reader().frame(overlay),
                HalvoDesktop::expectedOverlay(4, 0, HalvoDesktop::trayHeight));
    const WindowFrame frame = *desktop.reader().frame(overlay);
    // The stored light theme: a light panel.
    EXPECT_TRUE(XvfbSession::waitUntil([&] {
        return *desktop.reader().brightnessAt(frame.x + 18, frame.y + 90) > 170.0;
    })) << *desktop.reader().brightnessAt(frame.x + 18, frame.y + 90);

    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XLogo")) << desktop.reader().activeClass();
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XCalc")) << desktop.reader().activeClass();
    EXPECT_TRUE(desktop.reader().visibleOverlay().has_value());

    releaseCombination();
    ASSERT_TRUE(desktop.waitForOverlay(false));
    EXPECT_EQ(desktop.reader().activeClass(), "XCalc");

    // The next switch follows the pointer to the right monitor, which has no strut.
    desktop.reader().movePointer(1900, 500);
    holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    expectFrame(*desktop.reader().frame(*desktop.reader().visibleOverlay()),
                HalvoDesktop::expectedOverlay(4, HalvoDesktop::monitorWidth, 0));
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("Xedit"));
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XTerm")) << "Right wraps to the first app";
    releaseCombination();
    EXPECT_TRUE(desktop.waitForOverlay(false));
}

TEST_F(SwitchingTest, DraggingAnIconRewritesTheStoredOrder) {
    startWithOrder();
    desktop.reader().movePointer(600, 300);
    holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    const WindowFrame frame = *desktop.reader().frame(*desktop.reader().visibleOverlay());

    // XTerm, the first icon, dragged past XCalc.
    const auto [fromX, fromY] = HalvoDesktop::cellCentre(frame, 4, 0);
    const auto [toX, toY] = HalvoDesktop::cellCentre(frame, 4, 2);
    desktop.reader().movePointer(fromX, fromY);
    desktop.reader().pressButton(1);
    for (int x = fromX; x <= toX + 20; x += 8)
        desktop.reader().movePointer(x, fromY);
    desktop.reader().releaseButton(1);

    const std::vector<std::string> expected{"XLogo", "XCalc", "XTerm", "Xedit"};
    EXPECT_TRUE(XvfbSession::waitUntil([&] {
        return desktop.settings()["halvo.customAppOrder"] == expected;
    })) << desktop.settings().dump();
    releaseCombination();
    EXPECT_TRUE(desktop.waitForOverlay(false));
}

TEST_F(SwitchingTest, UpAndDownSetAndClearFullScreenOfTheActiveWindow) {
    startWithOrder();
    const xcb_window_t xterm = desktop.reader().clientOfClass("XTerm");
    holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    desktop.keyboard().tap("Up");
    EXPECT_TRUE(XvfbSession::waitUntil([&] { return desktop.reader().isFullScreen(xterm); }));
    EXPECT_TRUE(desktop.waitForOverlay(false)) << "Up hides the overlay";
    desktop.keyboard().tap("Down");
    EXPECT_TRUE(XvfbSession::waitUntil([&] { return !desktop.reader().isFullScreen(xterm); }));
    releaseCombination();
    EXPECT_EQ(desktop.reader().activeClass(), "XTerm");
}

TEST_F(SwitchingTest, LongPressMovesTheSelectedAppToTheMonitorWhereTheSwitchBegan) {
    startWithOrder(R"({"halvo.customAppOrder": ["XTerm", "XCalc", "XLogo", "Xedit"]})");
    const xcb_window_t xcalc = desktop.reader().clientOfClass("XCalc");
    ASSERT_GE(desktop.reader().frame(xcalc)->x, HalvoDesktop::monitorWidth);

    desktop.reader().movePointer(600, 500);
    holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    desktop.keyboard().press("Right");
    EXPECT_TRUE(desktop.waitForActive("XCalc"));
    const bool moved = XvfbSession::waitUntil(
        [&] { return desktop.reader().frame(xcalc)->x < HalvoDesktop::monitorWidth; });
    desktop.keyboard().release("Right");
    releaseCombination();
    EXPECT_TRUE(moved) << "xcalc is still at x " << desktop.reader().frame(xcalc)->x;
    EXPECT_EQ(desktop.reader().activeClass(), "XCalc");
}

} // namespace
