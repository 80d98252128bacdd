// Which window sway's tree says is focused, also while a layer surface holds the keyboard.
#include "platform/sway/SwayClientList.h"

#include "platform/i3ipc/I3Reply.h"

#include <gtest/gtest.h>
#include <string>

namespace halvo {
namespace {

// Two windows on one workspace; b (id 12) is first in the workspace's focus order. `aFocused`
// and `bFocused` set their "focused" flags.
std::string tree(bool aFocused, bool bFocused) {
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

TEST(SwayClientListTest, FocusedWindowIsTheFlaggedOneOrTheEndOfTheFocusPath) {
    const auto focusedApp = [](bool aFocused, bool bFocused) {
        const SwayClientList list =
            SwayClientList::fromTree(I3Reply::tree(tree(aFocused, bFocused)), 0);
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
