// Which session Halvo runs in for each environment it can be started from.
#include "app/SessionChoice.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace halvo {
namespace {

using Environment = std::map<std::string, std::string>;

// Today's table, as main has it (the programs are not run here).
const std::vector<SessionChoice::Session> table = {
    {"sway", SessionChoice::isSway, nullptr},
    {"KDE Plasma", SessionChoice::isKde, nullptr},
    {"X11", nullptr, nullptr},
};

SessionChoice choose(const Environment& environment,
                     const std::vector<SessionChoice::Session>& sessions = table) {
    return SessionChoice::fromEnvironment(
        [&](const std::string& name) -> std::optional<std::string> {
            const auto found = environment.find(name);
            if (found == environment.end() || found->second.empty())
                return std::nullopt;
            return found->second;
        },
        sessions);
}

struct SessionCase {
    const char* name;
    Environment environment;
    std::string expected; // the chosen session's name; empty for a refusal
    const char* refusalMentions = "";
};

class SessionChoiceTest : public testing::TestWithParam<SessionCase> {};

TEST_P(SessionChoiceTest, ChoosesFromTheEnvironment) {
    const SessionCase& c = GetParam();
    const SessionChoice choice = choose(c.environment);
    EXPECT_EQ(choice.session() ? choice.session()->name : "", c.expected);
    if (c.expected.empty()) {
        EXPECT_NE(choice.refusal().find("is not sway"), std::string::npos) << choice.refusal();
        EXPECT_NE(choice.refusal().find("Log in to an X11 session or to sway"), std::string::npos);
        EXPECT_NE(choice.refusal().find(c.refusalMentions), std::string::npos) << choice.refusal();
    } else {
        EXPECT_EQ(choice.refusal(), "");
    }
}

const std::string sock = "/run/user/1000/sway-ipc.1000.42.sock";

INSTANTIATE_TEST_SUITE_P(
    Environments, SessionChoiceTest,
    testing::Values(
        SessionCase{"sway", {{"SWAYSOCK", sock}, {"WAYLAND_DISPLAY", "wayland-1"}}, "sway"},
        // sway starts XWayland and sets DISPLAY; its windows are still sway's.
        SessionCase{"swayWithXWayland",
                    {{"SWAYSOCK", sock}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}},
                    "sway"},
        SessionCase{"x11", {{"DISPLAY", ":0"}}, "X11"},
        // A shell that inherited SWAYSOCK (ssh, a terminal outside sway) without Wayland.
        SessionCase{"x11WithStaleSwaySocket", {{"DISPLAY", ":1"}, {"SWAYSOCK", sock}}, "X11"},
        SessionCase{
            "emptyWaylandDisplayIsUnset", {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", ""}}, "X11"},
        // The X11 program then says that it needs a display.
        SessionCase{"nothing", {}, "X11"},
        SessionCase{"gnomeWithXWayland",
                    {{"WAYLAND_DISPLAY", "wayland-0"},
                     {"DISPLAY", ":0"},
                     {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}},
                    "",
                    "This Wayland session (GNOME) is not sway"},
        SessionCase{"kde",
                    {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "KDE"}},
                    "KDE Plasma"},
        // Any entry of the list may name KDE; a name that only starts with it does not count.
        SessionCase{"kdeLaterInTheList",
                    {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "X-Custom:KDE"}},
                    "KDE Plasma"},
        SessionCase{"kdeLikeName",
                    {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "KDEish"}},
                    "",
                    "(KDEish)"},
        // Plasma's X11 session: the X11 program, with KWin as its EWMH window manager.
        SessionCase{"kdeOnX11", {{"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "KDE"}}, "X11"},
        SessionCase{"unnamedCompositor",
                    {{"WAYLAND_DISPLAY", "wayland-0"}},
                    "",
                    "This Wayland session is not sway or KDE Plasma; Halvo supports sway and KDE "
                    "Plasma on Wayland and any EWMH window manager on X11."}),
    [](const testing::TestParamInfo<SessionCase>& row) { return row.param.name; });

// A row added to the table is recognised, and the refusal lists it with the others.
TEST(SessionChoiceTableTest, TheRefusalListsTheTablesWaylandSessions) {
    std::vector<SessionChoice::Session> sessions = {table.front(), table.back()};
    sessions.insert(sessions.begin() + 1, {"GNOME",
                                           [](const SessionChoice::Environment& environment) {
                                               return environment("XDG_CURRENT_DESKTOP") == "GNOME";
                                           },
                                           nullptr});
    const SessionChoice gnome =
        choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "GNOME"}}, sessions);
    ASSERT_TRUE(gnome.session());
    EXPECT_EQ(gnome.session()->name, "GNOME");
    EXPECT_EQ(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "KDE"}}, sessions)
                  .refusal(),
              "This Wayland session (KDE) is not sway or GNOME; Halvo supports sway and GNOME on "
              "Wayland and any EWMH window manager on X11. Log in to an X11 session or to sway or "
              "GNOME.");
}

} // namespace
} // namespace halvo
