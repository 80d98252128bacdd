// The virtual test keyboard against sway's runtime bindings: exact modifier sequences reach sway
// as a real keyboard's would (wtype cannot hold Control or Alt on its own).
#include "support/sway/SwayVirtualKeyboard.h"

#include "support/SwaySubscription.h"
#include "sway/SwayTestSession.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace halvo::test {
namespace {

// A runtime binding of Control+Alt+Right, on press (no repeat) and on release, removed again
// when the test ends.
class ControlAltRight : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.command("bindsym --no-repeat Ctrl+Alt+Right nop halvo-press"));
        ASSERT_TRUE(session.command("bindsym --release Ctrl+Alt+Right nop halvo-release"));
        ASSERT_TRUE(events.ok());
        ASSERT_TRUE(keyboard.ok()) << keyboard.error();
    }
    void TearDown() override {
        session.command("unbindsym --no-repeat Ctrl+Alt+Right");
        session.command("unbindsym --release Ctrl+Alt+Right");
    }

    static std::vector<std::string> commands(const std::vector<nlohmann::json>& bindingEvents) {
        std::vector<std::string> result;
        for (const auto& event : bindingEvents)
            result.push_back(event["binding"].value("command", ""));
        return result;
    }

    SwaySession& session = swaySession();
    SwaySubscription events{session, {"binding"}};
    SwayVirtualKeyboard keyboard{session.waylandDisplay()};
};

TEST_F(ControlAltRight, FiresOnPressAndOnReleaseWithExactlyControlAndAlt) {
    ASSERT_TRUE(keyboard.press("Control_L"));
    ASSERT_TRUE(keyboard.press("Alt_L"));
    ASSERT_TRUE(keyboard.press("Right"));
    const auto pressed = events.waitFor(
        [](const nlohmann::json& e) { return e["binding"]["command"] == "nop halvo-press"; });
    ASSERT_TRUE(pressed);
    EXPECT_EQ((*pressed)["binding"]["symbol"], "Right");
    EXPECT_EQ((*pressed)["binding"]["event_state_mask"], nlohmann::json({"Control", "Mod1"}));

    ASSERT_TRUE(keyboard.release("Right"));
    EXPECT_TRUE(events.waitFor(
        [](const nlohmann::json& e) { return e["binding"]["command"] == "nop halvo-release"; }));
    // Alt first, then Control: neither release fires anything more.
    ASSERT_TRUE(keyboard.release("Alt_L"));
    ASSERT_TRUE(keyboard.release("Control_L"));
    ASSERT_TRUE(events.sync());
    EXPECT_EQ(commands(events.events()),
              (std::vector<std::string>{"nop halvo-press", "nop halvo-release"}));
}

// Held modifiers are exact: any other set, or the arrow alone, fires nothing.
TEST_F(ControlAltRight, OtherModifierSetsFireNothing) {
    const std::vector<std::vector<std::string>> modifierSets = {
        {"Control_L", "Shift_L"}, {"Control_L", "Alt_L", "Shift_L"}, {"Alt_L"}, {"Control_L"}, {}};
    for (const auto& modifiers : modifierSets) {
        for (const auto& modifier : modifiers)
            ASSERT_TRUE(keyboard.press(modifier));
        ASSERT_TRUE(keyboard.tap("Right"));
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
            ASSERT_TRUE(keyboard.release(*it));
    }
    ASSERT_TRUE(events.sync());
    EXPECT_EQ(commands(events.events()), std::vector<std::string>{});
}

// A held arrow stays down until released: sway repeats a binding made without --no-repeat while
// the key is held.
TEST(SwayVirtualKeyboard, AHeldKeyRepeatsARepeatingBinding) {
    SwaySession& session = swaySession();
    ASSERT_TRUE(session.command("bindsym Ctrl+Alt+Left nop halvo-repeat"));
    SwaySubscription events(session, {"binding"});
    SwayVirtualKeyboard keyboard(session.waylandDisplay());
    ASSERT_TRUE(keyboard.press("Control_L") && keyboard.press("Alt_L") && keyboard.press("Left"));
    // sway starts repeating after 600 ms, 25 times a second.
    EXPECT_TRUE(SwaySession::waitUntil([&] { return events.events().size() >= 3; }));
    ASSERT_TRUE(keyboard.release("Left") && keyboard.release("Alt_L") &&
                keyboard.release("Control_L"));
    session.command("unbindsym Ctrl+Alt+Left");
}

} // namespace
} // namespace halvo::test
