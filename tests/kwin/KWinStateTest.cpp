// What the KWin script reports is checked before Halvo believes it: the windows it describes
// belong to other programs.
#include "platform/kwin/KWinState.h"

#include "platform/kwin/KWinScriptText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace halvo {
namespace {

using nlohmann::json;

json window(int id, int pid, const std::string& app, int stack) {
    return {{"id", id},
            {"pid", pid},
            {"app", app},
            {"desktop", ""},
            {"kind", "normal"},
            {"frame", {{"x", 10}, {"y", 20}, {"w", 300}, {"h", 200}}},
            {"minimized", false},
            {"fullScreen", false},
            {"canFullScreen", true},
            {"canMove", true},
            {"canResize", true},
            {"stack", stack}};
}

json report() {
    const json rect = {{"x", 0}, {"y", 0}, {"w", 1280}, {"h", 800}};
    return {{"windows", {window(1, 100, "a", 3), window(2, 200, "b", 7), window(3, 100, "a", 9)}},
            {"active", 2},
            {"screens", {{{"frame", rect}, {"visible", rect}}}},
            {"cursor", {{"x", 5}, {"y", 6}}}};
}

TEST(KWinStateTest, GroupsWindowsByAppTopmostFirst) {
    const auto state = KWinState::parse(report().dump());
    ASSERT_TRUE(state);
    ASSERT_EQ(state->windows().size(), 3u);
    // Stacking 9, 7, 3: window 3 is on top.
    EXPECT_EQ(state->windows().front().id, 3u);
    EXPECT_EQ(state->activeWindow()->appKey, "b");
    const auto applications = state->applications();
    ASSERT_EQ(applications.size(), 2u);
    EXPECT_EQ(applications[0].appKey, "a");
    EXPECT_EQ(applications[0].windows.size(), 2u);
    EXPECT_EQ(state->application(200)->appKey, "b");
    EXPECT_EQ(state->outputs().front().frame.width, 1280);
}

struct BadReport {
    const char* name;
    std::function<void(json&)> spoil;
};

class KWinStateRefusalTest : public testing::TestWithParam<BadReport> {};

TEST_P(KWinStateRefusalTest, RefusesTheWholeReport) {
    json spoilt = report();
    GetParam().spoil(spoilt);
    EXPECT_FALSE(KWinState::parse(spoilt.dump()));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, KWinStateRefusalTest,
    testing::Values(BadReport{"notJson", [](json& r) { r = "{"; }},
                    BadReport{"missingCursor", [](json& r) { r.erase("cursor"); }},
                    BadReport{"stringForNumber", [](json& r) { r["windows"][0]["pid"] = "100"; }},
                    BadReport{"zeroPid", [](json& r) { r["windows"][0]["pid"] = 0; }},
                    BadReport{"hugeFrame", [](json& r) { r["windows"][0]["frame"]["w"] = 1e12; }},
                    BadReport{"negativeSize", [](json& r) { r["windows"][0]["frame"]["h"] = -1; }},
                    BadReport{"longName",
                              [](json& r) {
                                  r["windows"][0]["app"] = std::string(KWinState::maxText + 1, 'x');
                              }},
                    BadReport{"noAppKey", [](json& r) { r["windows"][0]["app"] = ""; }},
                    BadReport{"duplicateId", [](json& r) { r["windows"][1]["id"] = 1; }},
                    BadReport{"tooManyWindows",
                              [](json& r) {
                                  for (int i = 0; i <= int(KWinState::maxWindows); ++i)
                                      r["windows"].push_back(window(100 + i, 1, "x", 0));
                              }}),
    [](const testing::TestParamInfo<BadReport>& row) { return row.param.name; });

// Only a unique bus name is written into the script's source.
TEST(KWinScriptTextTest, WritesOnlyAUniqueBusNameIntoTheSource) {
    const std::string source = KWinScriptText::forService(":1.42", 4242);
    EXPECT_NE(source.find("\":1.42\""), std::string::npos);
    EXPECT_NE(source.find("var halvoPid = 4242;"), std::string::npos);
    EXPECT_THROW(KWinScriptText::forService("org.evil\"; print(1); \"", 1), std::invalid_argument);
    EXPECT_THROW(KWinScriptText::forService("", 1), std::invalid_argument);
}

} // namespace
} // namespace halvo
