// The extension's answers are text from inside the shell: read strictly, grouped into
// applications as on sway.
#include "platform/gnome/GnomeMonitorList.h"
#include "platform/gnome/GnomeWindowList.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

std::string window(std::uint64_t id, const std::string& app, int pid, bool minimized = false) {
    return R"({"id":)" + std::to_string(id) + R"(,"app":")" + app + R"(","pid":)" +
           std::to_string(pid) + R"(,"kind":"normal","monitor":0,"frame":[10,20,300,200],)" +
           R"("minimized":)" + (minimized ? "true" : "false") +
           R"(,"fullScreen":false,"canMove":true,"canResize":true})";
}

TEST(GnomeWindowListTest, GroupsWindowsByAppIdAndFindsTheFocusedAndMainWindows) {
    const std::string text = R"({"focused":3,"windows":[)" + window(1, "app.a", 100, true) + "," +
                             window(2, "app.b", 200) + "," + window(3, "app.a", 100) + "," +
                             window(4, "", 300) + "," + window(5, "app.halvo", 42) + "]}";
    const auto list = GnomeWindowList::parse(text, 42);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->applications().size(), 3u); // the window without an app id is left out
    const auto* a = list->find(100);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->appKey, "app.a");
    EXPECT_EQ(a->windows.size(), 2u);
    EXPECT_FALSE(a->hidden());
    EXPECT_TRUE(a->regular);
    EXPECT_EQ(list->focusedApplication(), a);
    EXPECT_EQ(list->mainWindow(*a)->info.id, 3u);
    EXPECT_EQ(list->window(2)->info.frame, (Rect{10, 20, 300, 200}));
    EXPECT_TRUE(list->find(42)->own);
    EXPECT_FALSE(list->find(42)->regular);
}

TEST(GnomeWindowListTest, AppsSharingAProcessGetDistinctStableIdentifiers) {
    // One process serving two apps (a terminal server) must not make them one application.
    const std::string text = R"({"focused":null,"windows":[)" + window(1, "app.a", 100) + "," +
                             window(2, "app.b", 100) + "]}";
    const auto first = GnomeWindowList::parse(text, 42);
    const auto second = GnomeWindowList::parse(text, 42);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(first->applications().size(), 2u);
    const ProcessID b = first->applications()[1].pid;
    EXPECT_NE(b, 100);
    EXPECT_EQ(second->applications()[1].pid, b);
    EXPECT_EQ(first->find(b)->appKey, "app.b");
}

TEST(GnomeWindowListTest, RefusesAnswersThatAreNotWindowLists) {
    for (const std::string& text :
         {std::string("not json"), std::string("[]"), std::string(R"({"windows":[]})"),
          std::string(R"({"focused":"x","windows":[]})"),
          std::string(R"({"focused":null,"windows":[{"id":-1,"app":"a","pid":1,"kind":"normal",)"
                      R"("frame":[0,0,1,1]}]})"),
          std::string(R"({"focused":null,"windows":[{"id":1,"app":"a","pid":1,"kind":"normal",)"
                      R"("frame":[0,0,1]}]})"),
          std::string(R"({"focused":null,"windows":[{"id":1,"app":7,"pid":1,"kind":"normal",)"
                      R"("frame":[0,0,1,1]}]})"),
          R"({"focused":null,"windows":[)" + std::string(GnomeWindowList::maxTextLength, ' ') +
              "]}"})
        EXPECT_FALSE(GnomeWindowList::parse(text, 0)) << text.substr(0, 120);
}

TEST(GnomeMonitorListTest, ReadsMonitorsPrimaryFirstAndThePointersMonitor) {
    const auto list = GnomeMonitorList::parse(
        R"({"monitors":[{"frame":[0,0,1280,720],"workArea":[0,32,1280,688]},)"
        R"({"frame":[1280,0,1024,768],"workArea":[1280,0,1024,768]}],)"
        R"("primary":1,"pointer":[1300,40],"pointerMonitor":1})");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->screens.size(), 2u);
    EXPECT_EQ(list->screens[0].frame, (Rect{1280, 0, 1024, 768}));
    EXPECT_EQ(list->screens[1].visibleFrame, (Rect{0, 32, 1280, 688}));
    EXPECT_NE(list->screens[0].identifier, list->screens[1].identifier);
    EXPECT_EQ(list->pointer, (Point{1300, 40}));
    ASSERT_TRUE(list->pointerScreen);
    EXPECT_EQ(list->pointerScreen->identifier, list->screens[0].identifier);

    EXPECT_FALSE(GnomeMonitorList::parse(R"({"monitors":[{"frame":[0,0,1,1]}],"pointer":[0,0]})"));
    EXPECT_FALSE(GnomeMonitorList::parse(R"({"monitors":[],"pointer":"here"})"));
}

} // namespace
} // namespace halvo
