// The settings file as the real program meets it at start: a stored theme and combination, and a
// file that is not JSON.
#include "e2e/HalvoDesktop.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace halvo::test;

namespace {

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
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
        const WindowFrame frame = *desktop.reader().frame(*desktop.reader().visibleOverlay());
        return *desktop.reader().brightnessAt(frame.x + 18, frame.y + 90);
    }

    HalvoDesktop desktop;
    std::unique_ptr<HalvoProcess> halvo;
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
    EXPECT_TRUE(XvfbSession::waitUntil([&] {
        const double brightness = overlayBrightness();
        return brightness > 5 && brightness < 115;
    })) << "a dark panel, not "
        << overlayBrightness();
    desktop.keyboard().tap("Right");
    EXPECT_TRUE(desktop.waitForActive("XLogo")) << desktop.reader().activeClass();
    desktop.keyboard().release("Super_L");
    desktop.keyboard().release("Control_L");
    EXPECT_TRUE(desktop.waitForOverlay(false));
    EXPECT_EQ(desktop.reader().activeClass(), "XLogo");
}

TEST_F(SettingsTest, UnreadableFileStartsWithDefaultsAndIsKeptAside) {
    const std::string garbage = "{\"halvo.customAppOrder\": [\"XTerm\", ";
    desktop.writeSettings(garbage);
    halvo = desktop.startHalvo();
    ASSERT_TRUE(desktop.activate("XTerm"));

    // The default combination works.
    desktop.keyboard().press("Control_L");
    desktop.keyboard().press("Alt_L");
    ASSERT_TRUE(desktop.waitForOverlay(true)) << halvo->log();
    desktop.keyboard().tap("Right");
    desktop.keyboard().release("Alt_L");
    desktop.keyboard().release("Control_L");
    EXPECT_TRUE(XvfbSession::waitUntil([&] { return desktop.reader().activeClass() != "XTerm"; }))
        << halvo->log();

    // The newcomers were stored in a fresh file; the unreadable one is still there, renamed.
    EXPECT_TRUE(XvfbSession::waitUntil(
        [&] { return desktop.settings().contains("halvo.customAppOrder"); }));
    std::ifstream kept(desktop.settingsPath() + ".corrupt");
    std::stringstream content;
    content << kept.rdbuf();
    EXPECT_EQ(content.str(), garbage);
    EXPECT_NE(halvo->log().find("defaults.json.corrupt"), std::string::npos) << halvo->log();
}

} // namespace
