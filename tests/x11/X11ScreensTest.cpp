// Monitors in screen space and visible areas less dock struts.
#include "platform/x11/X11Screens.h"

#include "platform/x11/X11Connection.h"
#include "support/XvfbSession.h"

#include <gtest/gtest.h>

using namespace halvo;
using halvo::test::XvfbSession;

TEST(X11Screens, TheTwoMonitorsComePrimaryFirstInScreenSpace) {
    XvfbSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    const auto screens = X11Screens(*connection).screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].name, "LEFT");
    EXPECT_EQ(screens[0].frame, (Rect{0, 0, 1280, 1024}));
    EXPECT_EQ(screens[1].name, "RIGHT");
    EXPECT_EQ(screens[1].frame, (Rect{1280, 0, 1280, 1024}));
    EXPECT_NE(screens[0].identifier, screens[1].identifier);
}

TEST(X11Screens, StrutsAreTakenOnlyFromTheMonitorTheyLieOn) {
    const Rect left{0, 0, 1280, 1024};
    const Rect right{1280, 0, 1280, 1024};
    // A 30-pixel top panel spanning only the right monitor, and a 40-pixel left dock.
    const std::vector<std::vector<std::uint32_t>> struts{
        {0, 0, 30, 0, 0, 0, 0, 0, 1280, 2559, 0, 0},
        {40, 0, 0, 0, 0, 1023, 0, 0, 0, 0, 0, 0},
    };
    EXPECT_EQ(X11Screens::visibleArea(left, struts, 2560, 1024), (Rect{40, 0, 1240, 1024}));
    EXPECT_EQ(X11Screens::visibleArea(right, struts, 2560, 1024), (Rect{1280, 30, 1280, 994}));
    const std::vector<std::vector<std::uint32_t>> bottomRight{
        {0, 0, 0, 50, 0, 0, 0, 0, 0, 0, 1280, 2559}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(X11Screens::visibleArea(right, bottomRight, 2560, 1024), (Rect{1280, 0, 1280, 974}));
    EXPECT_EQ(X11Screens::visibleArea(left, bottomRight, 2560, 1024), left);
}
