// The real program's life: a second launch, SIGTERM, and a shortcut that another client already
// owns, reported and replaced through the Preferences window. (A lost X server is a fault test.)
#include "support/HalvoDesktop.h"

#include <X11/keysym.h>
#include <csignal>
#include <gtest/gtest.h>
#include <xcb/xcb_keysyms.h>

using namespace halvo::test;

namespace {

class LifecycleTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(desktop.ok()) << desktop.error(); }

    HalvoDesktop desktop;
};

TEST_F(LifecycleTest, SecondLaunchIsRefusedUntilTheFirstDiesAndSigtermEndsCleanly) {
    auto first = desktop.startHalvo();
    ASSERT_TRUE(desktop.watcher().halvoWindowNamed("Halvo overlay")) << first->log();

    HalvoProgram second(desktop.configHome());
    EXPECT_EQ(second.waitForExit(20), 1);
    EXPECT_NE(second.log().find("already running"), std::string::npos) << second.log();

    // Killed, the first leaves its socket behind; the next launch takes the place.
    first->signal(SIGKILL);
    first->waitForExit(15);
    ASSERT_TRUE(desktop.watcher().waitFor(
        [&] { return !desktop.watcher().halvoWindowNamed("Halvo overlay"); }));
    auto halvo = desktop.startHalvo();
    HalvoProgram fourth(desktop.configHome());
    EXPECT_EQ(fourth.waitForExit(20), 1) << fourth.log() << halvo->log();

    halvo->signal(SIGTERM);
    EXPECT_EQ(halvo->waitForExit(15), 0) << halvo->log();
}

TEST_F(LifecycleTest, SigtermWithPreferencesOpenEndsCleanly) {
    auto halvo = desktop.startHalvo();
    ASSERT_TRUE(desktop.watcher().halvoWindowNamed("Halvo overlay")) << halvo->log();
    HalvoProgram ask(desktop.configHome(), {"--preferences"});
    EXPECT_EQ(ask.waitForExit(20), 0) << ask.log();
    ASSERT_TRUE(desktop.watcher().waitFor([&] {
        const auto window = desktop.watcher().halvoWindowNamed("Halvo Preferences");
        return window && desktop.watcher().isViewable(*window);
    })) << halvo->log();

    // Tearing down an open window on the way out talks to the controller (it resumes the
    // shortcut); the program must still end cleanly.
    halvo->signal(SIGTERM);
    EXPECT_EQ(halvo->waitForExit(15), 0) << halvo->log();
}

TEST_F(LifecycleTest, ShortcutOwnedByAnotherClientIsReplacedInPreferences) {
    ASSERT_TRUE(desktop.startClients());
    // Another client owns Control+Alt+Left before Halvo starts.
    xcb_connection_t* other = xcb_connect(desktop.session().display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t* left = xcb_key_symbols_get_keycode(symbols, XK_Left);
    free(xcb_request_check(
        other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, left[0],
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    free(left);
    xcb_key_symbols_free(symbols);

    desktop.writeSettings(R"({"halvo.customAppOrder": ["XTerm", "XLogo", "XCalc", "Xedit"]})");
    auto halvo = desktop.startHalvo();
    EXPECT_TRUE(halvo->waitForLog(
        "Halvo: Could not register the shortcut Ctrl+Alt+←: another program already uses it"))
        << halvo->log();
    EXPECT_TRUE(halvo->running()) << halvo->log();

    // Ask the running Halvo for its Preferences window; it comes to the front.
    HalvoProgram ask(desktop.configHome(), {"--preferences"});
    EXPECT_EQ(ask.waitForExit(20), 0) << ask.log();
    ASSERT_TRUE(desktop.watcher().waitFor([&] {
        const auto window = desktop.watcher().halvoWindowNamed("Halvo Preferences");
        return window && desktop.watcher().isViewable(*window);
    })) << halvo->log();
    ASSERT_TRUE(desktop.waitForActive("halvo"));

    // As a keyboard user: Tab to "Record Shortcut" (Launch at Login has the focus first, then
    // the theme picker), press it, hold Control+Shift and let go.
    for (int i = 0; i < 2; ++i)
        desktop.keyboard().tap("Tab");
    desktop.keyboard().tap("space");
    desktop.keyboard().press("Control_L");
    desktop.keyboard().press("Shift_L");
    desktop.keyboard().release("Shift_L");
    desktop.keyboard().release("Control_L");
    ASSERT_TRUE(desktop.watcher().waitFor([&] {
        return desktop.settings()["halvo.shortcutModifiers"] == 9;
    })) << desktop.settings().dump()
        << halvo->log();

    // The new combination switches at once.
    desktop.keyboard().press("Control_L");
    desktop.keyboard().press("Shift_L");
    desktop.keyboard().tap("Right");
    desktop.keyboard().release("Shift_L");
    desktop.keyboard().release("Control_L");
    EXPECT_TRUE(desktop.watcher().waitFor([&] {
        const std::string active = desktop.watcher().activeClass();
        return active != "halvo" && !active.empty();
    })) << desktop.watcher().activeClass();
    xcb_disconnect(other);
}

} // namespace
