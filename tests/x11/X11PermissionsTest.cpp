// The permission checks on a real X server, with the event monitor on the same connection as in
// the program.
#include "platform/x11/X11Permissions.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventMonitor.h"
#include "support/XvfbSession.h"

#include <gtest/gtest.h>

using namespace halvo;
using halvo::test::XvfbSession;

TEST(X11PermissionsTest, InputMonitoringStaysGrantedAfterTheEventMonitorChoseItsXInputVersion) {
    XvfbSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    SimLog log;
    X11Permissions permissions(*connection, log);
    X11EventMonitor monitor(*connection);
    EXPECT_TRUE(permissions.isInputMonitoringGranted());
    EXPECT_TRUE(permissions.isAccessibilityTrusted()) << "openbox is running";
}
