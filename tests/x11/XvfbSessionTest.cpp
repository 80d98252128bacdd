// The private X session that every integration test stands on.
#include "support/XvfbSession.h"

#include <gtest/gtest.h>

using halvo::test::XvfbSession;

TEST(XvfbSession, ComesUpWithAWindowManagerTwoMonitorsAndRealClients) {
    XvfbSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    const std::string monitors = session.run("xrandr --listmonitors");
    EXPECT_NE(monitors.find("LEFT"), std::string::npos) << monitors;
    EXPECT_NE(monitors.find("RIGHT"), std::string::npos) << monitors;

    session.spawn({"xlogo"});
    EXPECT_NE(session.waitForClientWindow("XLogo"), 0u);
}
