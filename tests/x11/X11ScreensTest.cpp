// Monitors in screen space, the pointer on them, and visible areas less dock struts.
#include "platform/x11/X11Screens.h"

#include "minimap/MinimapPanelController.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Monitors.h"
#include "support/XvfbSession.h"

#include <cstdlib>
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

TEST(X11Screens, EveryEdgePixelOfAMonitorLiesOnThatMonitorOnly) {
    // Root coordinates: LEFT primary, RIGHT beside it, BELOW under LEFT.
    const std::vector<std::pair<std::string, Rect>> monitors{{"LEFT", {0, 0, 1280, 1024}},
                                                             {"RIGHT", {1280, 0, 1280, 1024}},
                                                             {"BELOW", {0, 1024, 1280, 768}}};
    const Rect primary = monitors[0].second;
    const struct {
        int x, y;
        const char* monitor;
    } pixels[] = {{0, 0, "LEFT"},        {1279, 0, "LEFT"},  {0, 1023, "LEFT"},
                  {1279, 1023, "LEFT"},  {1280, 0, "RIGHT"}, {2559, 0, "RIGHT"},
                  {1280, 1023, "RIGHT"}, {0, 1024, "BELOW"}, {1279, 1791, "BELOW"}};
    for (const auto& pixel : pixels) {
        const Point point = X11Monitors::pixelToScreen(pixel.x, pixel.y, primary);
        std::vector<std::string> containing;
        for (const auto& [name, root] : monitors) {
            if (X11Monitors::rootToScreen(root, primary).contains(point))
                containing.push_back(name);
        }
        EXPECT_EQ(containing, std::vector<std::string>{pixel.monitor})
            << "pixel " << pixel.x << "," << pixel.y;
    }
}

TEST(X11Screens, ThePointerOnAMonitorsTopRowChoosesThatMonitor) {
    XvfbSession session(XvfbSession::Options{.windowManager = ""});
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    const X11Screens screens(*connection);
    const struct {
        std::int16_t x, y;
        const char* monitor;
    } pointers[] = {
        {1300, 0, "RIGHT"}, {2559, 0, "RIGHT"}, {1300, 1023, "RIGHT"}, {1279, 0, "LEFT"}};
    for (const auto& pointer : pointers) {
        xcb_connection_t* c = connection->xcb();
        xcb_warp_pointer(c, XCB_NONE, connection->root(), 0, 0, 0, 0, pointer.x, pointer.y);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // the warp is done
        const auto chosen =
            MinimapPanelController::screenUnderPointer(screens, screens.mouseLocation());
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->name, pointer.monitor) << "pointer at " << pointer.x << "," << pointer.y;
    }
}
