// Which session Halvo runs in for each environment it can be started from.
#include "app/SessionChoice.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace halvo {
namespace {

struct SessionCase {
    const char* name;
    std::map<std::string, std::string> environment;
    SessionChoice::Kind expected;
    const char* refusalMentions = "";
};

class SessionChoiceTest : public testing::TestWithParam<SessionCase> {};

TEST_P(SessionChoiceTest, ChoosesFromTheEnvironment) {
    const SessionCase& c = GetParam();
    const SessionChoice choice =
        SessionChoice::fromEnvironment([&](const std::string& name) -> std::optional<std::string> {
            const auto found = c.environment.find(name);
            if (found == c.environment.end() || found->second.empty())
                return std::nullopt;
            return found->second;
        });
    EXPECT_EQ(choice.kind(), c.expected);
    if (c.expected == SessionChoice::Kind::unsupported) {
        EXPECT_NE(choice.refusal().find("is not sway"), std::string::npos) << choice.refusal();
        EXPECT_NE(choice.refusal().find("Log in to an X11 session or to sway"), std::string::npos);
        EXPECT_NE(choice.refusal().find(c.refusalMentions), std::string::npos) << choice.refusal();
    } else {
        EXPECT_EQ(choice.refusal(), "");
    }
}

using Kind = SessionChoice::Kind;
const std::string sock = "/run/user/1000/sway-ipc.1000.42.sock";

INSTANTIATE_TEST_SUITE_P(
    Environments, SessionChoiceTest,
    testing::Values(
        SessionCase{"sway", {{"SWAYSOCK", sock}, {"WAYLAND_DISPLAY", "wayland-1"}}, Kind::sway},
        // sway starts XWayland and sets DISPLAY; its windows are still sway's.
        SessionCase{"swayWithXWayland",
                    {{"SWAYSOCK", sock}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}},
                    Kind::sway},
        SessionCase{"x11", {{"DISPLAY", ":0"}}, Kind::x11},
        // A shell that inherited SWAYSOCK (ssh, a terminal outside sway) without Wayland.
        SessionCase{"x11WithStaleSwaySocket", {{"DISPLAY", ":1"}, {"SWAYSOCK", sock}}, Kind::x11},
        SessionCase{
            "emptyWaylandDisplayIsUnset", {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", ""}}, Kind::x11},
        // The X11 program then says that it needs a display.
        SessionCase{"nothing", {}, Kind::x11},
        SessionCase{"gnomeWithXWayland",
                    {{"WAYLAND_DISPLAY", "wayland-0"},
                     {"DISPLAY", ":0"},
                     {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}},
                    Kind::unsupported,
                    "This Wayland session (GNOME) is not sway"},
        SessionCase{"kde",
                    {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "KDE"}},
                    Kind::unsupported,
                    "(KDE)"},
        SessionCase{"unnamedCompositor",
                    {{"WAYLAND_DISPLAY", "wayland-0"}},
                    Kind::unsupported,
                    "This Wayland session is not sway; Halvo supports sway on Wayland and any "
                    "EWMH window manager on X11."}),
    [](const testing::TestParamInfo<SessionCase>& row) { return row.param.name; });

} // namespace
} // namespace halvo
