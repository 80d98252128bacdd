// Monitors in root coordinates, the pointer on them, and visible areas less dock struts.
#include "platform/x11/X11Screens.h"

#include "minimap/MinimapPanelController.h"
#include "platform/x11/WindowStrut.h"
#include "platform/x11/X11Connection.h"
#include "support/XRequestCount.h"
#include "support/XvfbSession.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <regex>

using namespace halvo;
using halvo::test::XvfbSession;

TEST(X11Screens, TheTwoMonitorsComePrimaryFirstInRootCoordinates) {
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

// A primary monitor away from the root's origin comes first, and no frame moves with it.
TEST(X11Screens, APrimaryRightOfTheOriginLeavesTheFramesWhereTheRootHasThem) {
    XvfbSession session(XvfbSession::Options{.xorgDummy = true, .windowManager = ""});
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    session.run("xrandr --output DUMMY1 --primary");
    const auto screens = X11Screens(*connection).screens();
    ASSERT_EQ(screens.size(), 2u) << session.run("xrandr --listmonitors");
    EXPECT_EQ(screens[0].name, "DUMMY1");
    EXPECT_EQ(screens[0].frame, (Rect{1280, 0, 1280, 1024}));
    EXPECT_EQ(screens[1].frame, (Rect{0, 0, 1280, 1024}));
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

    // awesome's wibar at the top of the right monitor leaves its range at 0..0: the whole edge.
    const auto wibar = WindowStrut::fromProperties({0, 0, 21, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {});
    ASSERT_TRUE(wibar);
    EXPECT_EQ(X11Screens::visibleArea(right, {*wibar}, 2560, 1024), (Rect{1280, 21, 1280, 1003}));
}

namespace {

// A window of a second client: override-redirect (as i3bar's bar is, which no window manager
// lists) or managed (a panel the window manager lists), with a bottom strut of `height` pixels
// along `startX`..`endX`.
class StrutWindow {
public:
    StrutWindow(const std::string& display, bool overrideRedirect) {
        m_connection = xcb_connect(display.c_str(), nullptr);
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        const std::uint32_t values[] = {overrideRedirect ? 1u : 0u};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_screen->root, 0, 994,
                          1280, 30, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT, values);
        const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window,
                            atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
    }
    ~StrutWindow() { xcb_disconnect(m_connection); }

    void setBottomStrut(std::uint32_t height, std::uint32_t startX, std::uint32_t endX) {
        const std::uint32_t partial[12] = {0, 0, 0, height, 0, 0, 0, 0, 0, 0, startX, endX};
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window,
                            atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32, 12, partial);
        sync();
    }
    void map() {
        xcb_map_window(m_connection, m_window);
        sync();
    }
    void unmap() {
        xcb_unmap_window(m_connection, m_window);
        sync();
    }

private:
    // After a round trip the server has done what was asked before it.
    void sync() {
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(reply);
        return result;
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    xcb_window_t m_window = XCB_NONE;
};

std::vector<Rect> visibleFrames(const X11Screens& screens) {
    std::vector<Rect> frames;
    for (const auto& screen : screens.screens())
        frames.push_back(screen.visibleFrame);
    return frames;
}

} // namespace

TEST(X11Screens, DocksTheWindowManagerListsOrNotReserveTheirStrutOnTheirMonitorOnly) {
    XvfbSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    X11Screens screens(*connection);
    // A bottom strut lifts the frame's bottom edge.
    const std::vector<Rect> whole{{0, 0, 1280, 1024}, {1280, 0, 1280, 1024}};
    const std::vector<Rect> leftBar{{0, 0, 1280, 994}, {1280, 0, 1280, 1024}};
    const std::vector<Rect> bothBars{{0, 0, 1280, 994}, {1280, 0, 1280, 984}};
    ASSERT_EQ(visibleFrames(screens), whole);

    // An override-redirect bar, never in _NET_CLIENT_LIST (i3bar, awesome's wibar).
    StrutWindow bar(session.display(), true);
    bar.setBottomStrut(30, 0, 1279);
    EXPECT_EQ(visibleFrames(screens), whole) << "an unmapped bar reserves nothing";
    bar.map();
    EXPECT_EQ(visibleFrames(screens), leftBar);

    // A panel that openbox manages (and reparents into a frame), on the right monitor.
    StrutWindow panel(session.display(), false);
    panel.setBottomStrut(40, 1280, 2559);
    panel.map();
    EXPECT_TRUE(XvfbSession::waitUntil([&] { return visibleFrames(screens) == bothBars; }))
        << "the managed panel's strut was not taken";

    // Changes and unmaps are seen, and unchanged windows are not asked again.
    const std::size_t fetches = screens.strutFetches();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(visibleFrames(screens), bothBars);
    EXPECT_EQ(screens.strutFetches(), fetches) << "unchanged windows were asked again";
    bar.setBottomStrut(50, 0, 1279);
    EXPECT_EQ(visibleFrames(screens)[0], (Rect{0, 0, 1280, 974}));
    bar.unmap();
    EXPECT_EQ(visibleFrames(screens)[0], whole[0]);
}

// Docks reserve their space from the screen's edges as they are now: after the screen shrinks
// (an output turned off, the other given a lower mode) the bottom edge is the new one, not the
// one of the size the connection began with.
TEST(X11Screens, DocksReserveTheirSpaceFromTheScreensCurrentEdges) {
    XvfbSession session(XvfbSession::Options{.xorgDummy = true, .windowManager = ""});
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    X11Screens screens(*connection);
    StrutWindow bar(session.display(), true);
    bar.setBottomStrut(30, 0, 1279);
    bar.map();
    ASSERT_EQ(visibleFrames(screens)[0], (Rect{0, 0, 1280, 994}));

    session.run("xrandr --output DUMMY1 --off --output DUMMY0 --mode 1280x800");
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        const auto all = screens.screens();
        return all.size() == 1 && all[0].frame == Rect{0, 0, 1280, 800};
    })) << session.run("xrandr");
    EXPECT_EQ(visibleFrames(screens), (std::vector<Rect>{{0, 0, 1280, 770}}));
}

// Stock i3 with i3bar at the bottom of each monitor: i3 frames its bars like any window, so they
// are neither children of the root nor listed clients, and the visible frames leave them out all
// the same. The bars' places are the server's, as xwininfo reads them.
TEST(X11Screens, UnderI3TheBarsI3FramesAreLeftOut) {
    XvfbSession session(XvfbSession::Options{.windowManager = "i3"});
    ASSERT_TRUE(session.ok()) << session.error();
    // "0x600006 "i3bar for output LEFT": ("bar-0" "i3bar")  1280x22+0+0  +0+1002"
    const std::regex barLine(
        R"re(\("[^"]*" "i3bar"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re");
    std::vector<Rect> bars; // root coordinates
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        bars.clear();
        const std::string tree = session.run("xwininfo -root -tree");
        for (auto it = std::sregex_iterator(tree.begin(), tree.end(), barLine);
             it != std::sregex_iterator(); ++it) {
            bars.push_back({std::stod((*it)[3]), std::stod((*it)[4]), std::stod((*it)[1]),
                            std::stod((*it)[2])});
        }
        // i3 maps a bar before it docks it at the bottom (once read 7 px tall at the top).
        return bars.size() == 2 && std::all_of(bars.begin(), bars.end(),
                                               [](const Rect& bar) { return bar.maxY() == 1024; });
    })) << "no two i3bars at the bottom:\n"
        << session.run("xwininfo -root -tree");
    std::sort(bars.begin(), bars.end(), [](const Rect& a, const Rect& b) { return a.x < b.x; });
    std::vector<Rect> expected;
    for (const Rect& bar : bars)
        expected.push_back({bar.x, 0, 1280, 1024 - bar.height});
    ASSERT_EQ(expected[1].x, 1280);

    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    X11Screens screens(*connection);
    EXPECT_TRUE(XvfbSession::waitUntil([&] { return visibleFrames(screens) == expected; }, 5))
        << visibleFrames(screens)[0].y << ", " << visibleFrames(screens)[1].y;
}

TEST(X11Screens, EveryEdgePixelOfAMonitorLiesOnThatMonitorOnly) {
    // Root coordinates: LEFT primary, RIGHT beside it, BELOW under LEFT. A pixel is the point at
    // its top-left corner, as the pointer's is.
    const std::vector<std::pair<std::string, Rect>> monitors{{"LEFT", {0, 0, 1280, 1024}},
                                                             {"RIGHT", {1280, 0, 1280, 1024}},
                                                             {"BELOW", {0, 1024, 1280, 768}}};
    const struct {
        int x, y;
        const char* monitor;
    } pixels[] = {{0, 0, "LEFT"},        {1279, 0, "LEFT"},  {0, 1023, "LEFT"},
                  {1279, 1023, "LEFT"},  {1280, 0, "RIGHT"}, {2559, 0, "RIGHT"},
                  {1280, 1023, "RIGHT"}, {0, 1024, "BELOW"}, {1279, 1791, "BELOW"}};
    for (const auto& pixel : pixels) {
        const Point point{double(pixel.x), double(pixel.y)};
        std::vector<std::string> containing;
        for (const auto& [name, root] : monitors) {
            if (root.contains(point))
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

// A show asks for the pointer's monitor, the screens and the panel's frame: the monitors are kept
// from one answer to the next, and a monitor a client deletes or sets (which the server reports
// with a ConfigureNotify of the root only, no RandR event) is seen at the next answer.
TEST(X11Screens, MonitorsAreAskedForAgainOnlyAfterTheServerReportsAChange) {
    XvfbSession session(XvfbSession::Options{.windowManager = ""});
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    const X11Screens screens(*connection);
    const auto count = [&] { return screens.screens().size(); };
    ASSERT_EQ(count(), 2u);

    EXPECT_EQ(test::requestsSentBy(connection->xcb(),
                                   [&] {
                                       screens.mouseLocation();
                                       screens.screens();
                                       screens.screens();
                                   }),
              1u)
        << "more than the pointer was asked for";

    session.run("xrandr --delmonitor RIGHT");
    EXPECT_EQ(count(), 1u);
    session.run("xrandr --setmonitor RIGHT 1280/339x1024/271+1280+0 none");
    EXPECT_EQ(count(), 2u);
}

// The overlay sends the pointer's query ahead of the refresh: that answer serves the next
// question only, and not once the main loop has handed out an event in between.
TEST(X11Screens, AnExpectedPointerQueryAnswersOnlyTheNextQuestion) {
    XvfbSession session(XvfbSession::Options{.windowManager = ""});
    ASSERT_TRUE(session.ok()) << session.error();
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    const X11Screens screens(*connection);
    xcb_connection_t* c = connection->xcb();
    const auto warp = [&](std::int16_t x) {
        xcb_warp_pointer(c, XCB_NONE, connection->root(), 0, 0, 0, 0, x, 500);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // the warp is done
    };
    constexpr double leftWidth = 1280;

    warp(1500);
    screens.expectMouseLocation();
    warp(300);
    EXPECT_GT(screens.mouseLocation().x, leftWidth) << "the query sent ahead was not used";
    EXPECT_LT(screens.mouseLocation().x, leftWidth) << "the query sent ahead was used twice";

    // A root property change of our own makes an event for the main loop to hand out.
    auto* attributes = xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, connection->root()), nullptr);
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
    free(attributes);
    xcb_change_window_attributes(c, connection->root(), XCB_CW_EVENT_MASK, &mask);
    screens.expectMouseLocation();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, connection->root(), XCB_ATOM_CUT_BUFFER0,
                        XCB_ATOM_STRING, 8, 1, "x");
    warp(1500);
    connection->dispatchPending();
    EXPECT_GT(screens.mouseLocation().x, leftWidth) << "an answer older than an event was used";
}
