// The real program's life: a second launch, SIGTERM, a lost X server, and a shortcut that
// another client already owns, replaced through the Preferences window.
#include "e2e/HalvoDesktop.h"

#include <X11/keysym.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb_keysyms.h>

using namespace halvo::test;

namespace {

class LifecycleTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(desktop.session().ok()) << desktop.session().error(); }

    HalvoDesktop desktop;
};

TEST_F(LifecycleTest, SecondLaunchIsRefusedAndSigtermEndsCleanly) {
    auto halvo = desktop.startHalvo();
    ASSERT_TRUE(desktop.reader().halvoWindowNamed("Halvo overlay")) << halvo->log();

    HalvoProcess second(desktop.configHome());
    EXPECT_EQ(second.waitForExit(20), 1);
    EXPECT_NE(second.log().find("already running"), std::string::npos) << second.log();

    halvo->signal(SIGTERM);
    EXPECT_EQ(halvo->waitForExit(15), 0) << halvo->log();
}

TEST_F(LifecycleTest, SigtermWithPreferencesOpenEndsCleanly) {
    auto halvo = desktop.startHalvo();
    ASSERT_TRUE(desktop.reader().halvoWindowNamed("Halvo overlay")) << halvo->log();
    HalvoProcess ask(desktop.configHome(), {"--preferences"});
    EXPECT_EQ(ask.waitForExit(20), 0) << ask.log();
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        const auto window = desktop.reader().halvoWindowNamed("Halvo Preferences");
        return window && desktop.reader().isViewable(*window);
    })) << halvo->log();

    // Tearing down an open window on the way out talks to the controller (it resumes the
    // shortcut); the program must still end cleanly.
    halvo->signal(SIGTERM);
    EXPECT_EQ(halvo->waitForExit(15), 0) << halvo->log();
}

TEST_F(LifecycleTest, LosingTheXServerEndsTheProgramWithAMessage) {
    auto halvo = desktop.startHalvo();
    ASSERT_TRUE(desktop.reader().halvoWindowNamed("Halvo overlay")) << halvo->log();

    // The session's server is this test's only Xvfb child.
    pid_t server = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        pid_t pid = 0;
        std::string command;
        char state = 0;
        pid_t parent = 0;
        if (stat >> pid >> command >> state >> parent && parent == getpid() && command == "(Xvfb)")
            server = pid;
    }
    ASSERT_GT(server, 0);
    ::kill(server, SIGKILL);

    const auto status = halvo->waitForExit(15);
    ASSERT_TRUE(status.has_value()) << "Halvo still runs without its X server";
    EXPECT_NE(*status, 0);
    EXPECT_LT(*status, 128) << "ended by signal " << *status - 128;
    EXPECT_NE(halvo->log().find("Lost the connection to the X server"), std::string::npos)
        << halvo->log();
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
    EXPECT_TRUE(halvo->waitForLog("Halvo: Could not register the shortcut")) << halvo->log();

    // Ask the running Halvo for its Preferences window; it comes to the front.
    HalvoProcess ask(desktop.configHome(), {"--preferences"});
    EXPECT_EQ(ask.waitForExit(20), 0) << ask.log();
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        const auto window = desktop.reader().halvoWindowNamed("Halvo Preferences");
        return window && desktop.reader().isViewable(*window);
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
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        return desktop.settings()["halvo.shortcutModifiers"] == 9;
    })) << desktop.settings().dump()
        << halvo->log();

    // The new combination switches at once.
    desktop.keyboard().press("Control_L");
    desktop.keyboard().press("Shift_L");
    desktop.keyboard().tap("Right");
    desktop.keyboard().release("Shift_L");
    desktop.keyboard().release("Control_L");
    EXPECT_TRUE(XvfbSession::waitUntil([&] {
        const std::string active = desktop.reader().activeClass();
        return active != "halvo" && !active.empty();
    })) << desktop.reader().activeClass();
    xcb_disconnect(other);
}

} // namespace
