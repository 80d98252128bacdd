// sway's replies read into Halvo's terms without a compositor: the tree grouped into
// applications (app_id, Xwayland class, process claims, scratchpad, own windows, focus order),
// frames in sway's layout coordinates, screens with visible frames and stable
// identifiers, and fields of the wrong type refused.
#include "platform/sway/SwayClientList.h"

#include "platform/i3ipc/I3IpcError.h"
#include "platform/i3ipc/I3Reply.h"
#include "platform/sway/SwayLayout.h"
#include "platform/sway/SwayWindowControl.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

using namespace halvo;
using nlohmann::json;

namespace {

json rect(double x, double y, double w, double h) {
    return {{"x", x}, {"y", y}, {"width", w}, {"height", h}};
}

json view(std::int64_t id, const std::string& appId, int pid, json box,
          json extra = json::object()) {
    json node = {{"id", id},
                 {"type", "con"},
                 {"name", appId},
                 {"shell", "xdg_shell"},
                 {"app_id", appId},
                 {"pid", pid},
                 {"rect", box},
                 {"focused", false},
                 {"nodes", json::array()},
                 {"fullscreen_mode", 0}};
    node.update(extra);
    return node;
}

json workspace(std::int64_t id, const std::string& name, json nodes, json floating, json focus) {
    return {{"id", id},       {"type", "workspace"},        {"name", name},
            {"nodes", nodes}, {"floating_nodes", floating}, {"focus", focus}};
}

// HEADLESS-2 left of HEADLESS-1 and listed first; HEADLESS-1 holds the layout origin. Lists of
// one node are spelled json::array: clang makes `{node}` the node itself, GCC a list of it.
json tree() {
    const json xwayland = {{"id", 12},
                           {"type", "floating_con"},
                           {"shell", "xwayland"},
                           {"app_id", nullptr},
                           {"pid", 200},
                           {"window", 4194305},
                           {"rect", rect(100, 120, 300, 200)},
                           {"deco_rect", rect(0, 0, 300, 20)},
                           {"window_properties",
                            {{"class", "Gimp"}, {"instance", "gimp"}, {"window_type", "dialog"}}}};
    const json one = workspace(
        3, "1",
        {view(10, "foot", 100, rect(0, 0, 640, 1024)),
         view(11, "foot", 101, rect(640, 0, 640, 1024), {{"focused", true}}),
         view(13, "halvo", 999, rect(0, 0, 10, 10)), view(14, "shared-a", 300, rect(0, 0, 1, 1)),
         view(15, "shared-b", 300, rect(0, 0, 1, 1), {{"fullscreen_mode", 1}})},
        json::array({xwayland}), {11, 12, 10});
    const json scratch =
        workspace(1, "__i3_scratch", json::array(),
                  json::array({view(20, "notes", 400, rect(50, 50, 200, 100))}), {20});
    return {{"id", 0},
            {"type", "root"},
            {"nodes",
             {{{"id", 90}, {"type", "output"}, {"name", "__i3"}, {"nodes", json::array({scratch})}},
              {{"id", 91},
               {"type", "output"},
               {"name", "HEADLESS-2"},
               {"rect", rect(-1280, 0, 1280, 1024)},
               {"nodes",
                json::array({workspace(4, "2", json::array(), json::array(), json::array())})}},
              {{"id", 92},
               {"type", "output"},
               {"name", "HEADLESS-1"},
               {"rect", rect(0, 0, 1280, 1024)},
               {"nodes", json::array({one})}}}}};
}

} // namespace

TEST(SwayClientList, GroupsTheTreeIntoApplications) {
    const SwayClientList list = SwayClientList::fromTree(I3Reply::tree(tree().dump()), 999);
    const auto app = [&](const std::string& key) -> const SwayClientList::Application& {
        for (const auto& a : list.applications()) {
            if (a.appKey == key)
                return a;
        }
        throw std::runtime_error("no application " + key);
    };
    // Two foot processes make one application, named after its oldest window's process; its
    // windows come most recently focused first.
    const auto& foot = app("foot");
    EXPECT_EQ(foot.pid, 100);
    ASSERT_EQ(foot.windows.size(), 2u);
    EXPECT_EQ(foot.windows[0].id, 11);
    EXPECT_EQ(foot.windows[1].id, 10);
    EXPECT_EQ(list.mainWindow(foot)->id, 11);
    EXPECT_TRUE(foot.regular);
    EXPECT_EQ(list.focusedWindow()->id, 11);
    EXPECT_EQ(list.owner(11), &foot);
    EXPECT_EQ(list.find(100), &foot);

    // An Xwayland window goes by its class; a dialog alone does not make a regular application.
    const auto& gimp = app("Gimp");
    EXPECT_EQ(gimp.windows[0].instance, "gimp");
    EXPECT_EQ(gimp.windows[0].kind, WindowInfo::Kind::dialog);
    EXPECT_TRUE(gimp.windows[0].floating);
    EXPECT_EQ(gimp.windows[0].frame, (Rect{100, 100, 300, 220})); // title bar included
    EXPECT_FALSE(gimp.regular);

    EXPECT_TRUE(app("halvo").own);
    EXPECT_FALSE(app("halvo").regular);
    // One process behind two app_ids: neither may claim it.
    EXPECT_LT(app("shared-a").pid, 0);
    EXPECT_NE(app("shared-a").pid, app("shared-b").pid);
    EXPECT_EQ(app("shared-a").pid, SwayClientList::syntheticPid("shared-a"));
    EXPECT_TRUE(app("shared-b").windows[0].fullScreen);
    // The scratchpad is sway's minimised.
    EXPECT_TRUE(app("notes").hidden());
    EXPECT_EQ(app("notes").windows[0].output, "");
    EXPECT_FALSE(foot.hidden());

    // Outputs in sway's order.
    ASSERT_EQ(list.outputs().size(), 2u);
    EXPECT_EQ(list.outputs()[0].name, "HEADLESS-2");
    EXPECT_EQ(list.outputs()[1].currentWorkspace, "1");
    EXPECT_EQ(foot.windows[0].output, "HEADLESS-1");

    // Frames stay in sway's layout coordinates.
    const WindowInfo left = SwayWindowControl::describe(
        {1, "x", "", 1, WindowInfo::Kind::normal, {-1000, 10, 300, 200}, "HEADLESS-2"});
    EXPECT_EQ(left.frame, (Rect{-1000, 10, 300, 200}));
    const WindowInfo hidden = SwayWindowControl::describe(app("notes").windows[0]);
    EXPECT_TRUE(hidden.minimized);
    EXPECT_FALSE(hidden.canMove);
}

TEST(SwayLayout, ThePrimaryOutputAndTheOutputUnderAFrame) {
    // The primary output at (1920, 0) because nothing holds the origin: the first one listed.
    const std::vector<Rect> outputs{{1920, 0, 1280, 1024}, {3200, 0, 1280, 1024}};
    ASSERT_EQ(SwayLayout::primaryIndex(outputs), 0u);
    EXPECT_EQ(SwayLayout::outputFor({3100, 0, 400, 300}, outputs), 1u); // most of it on the right
    EXPECT_EQ(SwayLayout::outputFor({0, 0, 10, 10}, outputs), 0u);      // on none: the nearest
    EXPECT_FALSE(SwayLayout::primaryIndex({}));
}

TEST(SwayLayout, ScreensPrimaryFirstWithVisibleFramesAndStableIdentifiers) {
    const auto outputs = I3Reply::outputs(R"([
        {"name": "DP-1", "active": true, "focused": true, "rect": {"x": -1280, "y": 0, "width": 1280, "height": 800},
         "current_workspace": "2"},
        {"name": "eDP-1", "active": true, "focused": false, "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080},
         "current_workspace": "1"},
        {"name": "HDMI-1", "active": false, "rect": {"x": 0, "y": 0, "width": 0, "height": 0}}])");
    const auto workspaces = I3Reply::workspaces(R"([
        {"name": "1", "output": "eDP-1", "visible": true, "focused": false,
         "rect": {"x": 0, "y": 30, "width": 1920, "height": 1050}},
        {"name": "2", "output": "DP-1", "visible": true, "focused": true,
         "rect": {"x": -1280, "y": 0, "width": 1280, "height": 800}},
        {"name": "3", "output": "eDP-1", "visible": false, "focused": false,
         "rect": {"x": 0, "y": 0, "width": 10, "height": 10}}])");
    std::map<std::string, std::uint64_t> identifiers;
    std::uint64_t next = 1;
    std::optional<std::size_t> focused;
    const auto screens = SwayLayout::screens(outputs, workspaces, identifiers, next, focused);
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].name, "eDP-1");
    EXPECT_EQ(screens[0].frame, (Rect{0, 0, 1920, 1080}));
    // A 30-pixel bar at the top: the visible frame starts lower.
    EXPECT_EQ(screens[0].visibleFrame, (Rect{0, 30, 1920, 1050}));
    EXPECT_EQ(screens[1].frame, (Rect{-1280, 0, 1280, 800}));
    EXPECT_EQ(focused, 1u);

    // The same outputs keep their identifiers; one that goes and comes back is a new screen.
    const auto again = SwayLayout::screens(outputs, workspaces, identifiers, next, focused);
    EXPECT_EQ(again[0].identifier, screens[0].identifier);
    EXPECT_EQ(again[1].identifier, screens[1].identifier);
    SwayLayout::screens({outputs[1]}, workspaces, identifiers, next, focused);
    const auto back = SwayLayout::screens(outputs, workspaces, identifiers, next, focused);
    EXPECT_EQ(back[0].identifier, screens[0].identifier);
    EXPECT_NE(back[1].identifier, screens[1].identifier);
}

TEST(SwayClientList, FieldsOfTheWrongTypeAreErrors) {
    for (const json& bad :
         {json{{"pid", "100"}}, json{{"focus", {"a"}}}, json{{"fullscreen_mode", 7}},
          json{{"app_id", 3}}, json{{"window_properties", {{"class", 1}}}},
          json{{"deco_rect", {{"height", "x"}}}}, json{{"focused", 1}}}) {
        json node = view(1, "x", 1, rect(0, 0, 1, 1));
        node.update(bad);
        EXPECT_THROW(I3Reply::tree(node.dump()), I3IpcError) << bad.dump();
    }
    EXPECT_THROW(I3Reply::workspaces(R"({"name": "1"})"), I3IpcError);
    EXPECT_THROW(I3Reply::success(R"([])"), I3IpcError);
}

namespace halvo {
namespace {

// While a layer surface (Halvo's, during a switch) holds the keyboard sway marks no window
// focused. Two windows on one workspace; b (id 12) is first in the workspace's focus order.
// `aFocused` and `bFocused` set their "focused" flags.
std::string focusTree(bool aFocused, bool bFocused) {
    const auto window = [](int id, const char* app, bool focused) {
        return "{\"id\": " + std::to_string(id) + ", \"type\": \"con\", \"app_id\": \"" + app +
               "\", \"shell\": \"xdg_shell\", \"pid\": " + std::to_string(id * 10) +
               ", \"focused\": " + (focused ? "true" : "false") +
               ", \"rect\": {\"x\": 0, \"y\": 0, \"width\": 640, \"height\": 800}}";
    };
    return "{\"id\": 1, \"type\": \"root\", \"focus\": [3], \"nodes\": [{\"id\": 3, \"type\": "
           "\"output\", \"name\": \"HEADLESS-1\", \"current_workspace\": \"1\", \"focus\": [4], "
           "\"rect\": {\"x\": 0, \"y\": 0, \"width\": 1280, \"height\": 800}, \"nodes\": [{\"id\": "
           "4, \"type\": \"workspace\", \"name\": \"1\", \"focus\": [12, 11], \"nodes\": [" +
           window(11, "a", aFocused) + ", " + window(12, "b", bFocused) + "]}]}]}";
}

TEST(SwayClientList, FocusedWindowIsTheFlaggedOneOrTheEndOfTheFocusPath) {
    const auto focusedApp = [](bool aFocused, bool bFocused) {
        const SwayClientList list =
            SwayClientList::fromTree(I3Reply::tree(focusTree(aFocused, bFocused)), 0);
        const auto* window = list.focusedWindow();
        return window ? window->appKey : std::string("none");
    };
    EXPECT_EQ(focusedApp(true, false), "a") << "the flag wins over the focus order";
    EXPECT_EQ(focusedApp(false, true), "b");
    // A layer surface has the keyboard: no flag; b is the one sway gives the keyboard back to.
    EXPECT_EQ(focusedApp(false, false), "b");
}

} // namespace
} // namespace halvo
