// The permission checks on a real X server, with the event monitor on the same connection as in
// the program, and the window-manager check that permissions and window control share.
#include "platform/x11/X11Permissions.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventMonitor.h"
#include "platform/x11/X11WindowControl.h"
#include "support/XRequestCount.h"
#include "support/XvfbSession.h"

#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace halvo;
using halvo::test::XvfbSession;

TEST(X11PermissionsTest, KeyboardAccessStaysGrantedAfterTheEventMonitorChoseItsXInputVersion) {
    XvfbSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    SimLog log;
    X11WindowControl windowControl(*connection, getpid());
    X11Permissions permissions(*connection, windowControl, log);
    X11EventMonitor monitor(*connection);
    EXPECT_TRUE(permissions.hasKeyboardAccess());
}

// A window manager killed outright leaves its _NET_SUPPORTING_WM_CHECK on the root, naming a
// window that is gone: that is no window manager, even though a yes was kept.
TEST(X11PermissionsTest, PermissionsAndWindowControlAgreeWhetherAWindowManagerRuns) {
    for (const char* windowManager : {"", "openbox"}) {
        XvfbSession session(XvfbSession::Options{.windowManager = windowManager});
        ASSERT_TRUE(session.ok()) << session.error();
        std::string error;
        auto connection = X11Connection::open(session.display().c_str(), error);
        ASSERT_TRUE(connection) << error;
        SimLog log;
        X11WindowControl windowControl(*connection, getpid());
        X11Permissions permissions(*connection, windowControl, log);
        const bool running = *windowManager != '\0';
        EXPECT_EQ(windowControl.isWindowManagerRunning(), running) << windowManager;
        EXPECT_EQ(permissions.isWindowManagerRunning(), running) << windowManager;
        if (!running)
            continue;
        // A confirmed window manager is not asked again until an event says it may be gone:
        // no request is sent for the question.
        EXPECT_EQ(
            test::requestsSentBy(connection->xcb(),
                                 [&] { EXPECT_TRUE(windowControl.isWindowManagerRunning()); }),
            0u)
            << "requests sent for a kept answer";
        ::kill(session.windowManagerPid(), SIGKILL);
        EXPECT_TRUE(XvfbSession::waitUntil([&] { return !windowControl.isWindowManagerRunning(); }))
            << "a stale check window counts as none";
        EXPECT_FALSE(permissions.isWindowManagerRunning());
    }
}
