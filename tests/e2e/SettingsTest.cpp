// The settings file as the real program meets it at start: a stored theme and combination. (Files
// that are damaged, huge or cannot be written are the fault tests' part.)
#include "support/HalvoDesktop.h"

#include <gtest/gtest.h>

using namespace halvo::test;

namespace {

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.ok()) << desktop.error();
        ASSERT_TRUE(desktop.startClients());
    }

    void step(const std::string& modifier) {
        desktop.keyboard().press("Control_L");
        desktop.keyboard().press(modifier);
        desktop.keyboard().tap("Right");
        desktop.keyboard().release(modifier);
        desktop.keyboard().release("Control_L");
    }

    double overlayBrightness() {
        const WindowFrame frame = *desktop.watcher().frame(*desktop.watcher().visibleOverlay());
        return *desktop.watcher().brightnessAt(frame.x + 18, frame.y + 90);
    }

    HalvoDesktop desktop;
    std::unique_ptr<HalvoProgram> halvo;
};

TEST_F(SettingsTest, StoredCombinationAndThemeAreUsedAtStart) {
    desktop.writeSettings(R"({"halvo.customAppOrder": ["XTerm", "XLogo", "XCalc", "Xedit"],
                              "halvo.shortcutModifiers": 5, "halvo.minimapTheme": "dark"})");
    halvo = desktop.startHalvo();
    ASSERT_TRUE(desktop.activate("XTerm"));

    // Control+Alt is not the combination any more: no step. Had it stepped, the step with
    // Control+Super below would land on XCalc instead of XLogo.
    step("Alt_L");
    desktop.keyboard().press("Control_L");
    desktop.keyboard().press("Super_L");
    ASSERT_TRUE(desktop.waitForOverlay(true)) << halvo->log();
    EXPECT_TRUE(desktop.watcher().waitFor([&] {
        const double brightness = overlayBrightness();
        return brightness > 5 && brightness < 115;
    })) << "a dark panel, not "
        << overlayBrightness();
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XLogo")) << desktop.watcher().activeClass();
    desktop.keyboard().release("Super_L");
    desktop.keyboard().release("Control_L");
    EXPECT_TRUE(desktop.waitForOverlay(false));
    EXPECT_EQ(desktop.watcher().activeClass(), "XLogo");
}

} // namespace
