// The tray icon's colour on sway: swaybar's status-line colour, read from its bar configuration.
#include "platform/sway/SwayTrayTint.h"

#include "sway/SwayTestSession.h"

#include <gtest/gtest.h>

namespace halvo::test {
namespace {

TEST(SwayTrayTint, StatusLineColourOfTheBarConfig) {
    struct Case {
        const char* reply;
        std::optional<QColor> tint;
    };
    const Case cases[] = {
        {R"({"id":"bar-0","colors":{"background":"#000000ff","statusline":"#ffffffff"}})",
         QColor(255, 255, 255)},
        // sway's order is red, green, blue, alpha.
        {R"({"colors":{"statusline":"#10203080"}})", QColor(0x10, 0x20, 0x30, 0x80)},
        {R"({"colors":{"statusline":"#102030"}})", QColor(0x10, 0x20, 0x30)},
        {R"({"colors":{"statusline":"white"}})", std::nullopt},
        {R"({"colors":{"statusline":"#zzzzzz"}})", std::nullopt},
        {R"({"colors":{"statusline":7}})", std::nullopt},
        {R"({"colors":[]})", std::nullopt},
        {R"({"id":"bar-0"})", std::nullopt},
        {R"(["bar-0"])", std::nullopt},
        {R"({"colors":)", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SwayTrayTint::fromBarConfig(c.reply), c.tint) << c.reply;
}

TEST(SwayTrayTint, NoneWithoutABarOrWithoutSway) {
    SwaySession& session = swaySession();
    EXPECT_EQ(SwayTrayTint::query(session.swaySocket()), std::nullopt); // its config has no bar
    EXPECT_EQ(SwayTrayTint::query(session.folder() + "/no-such-socket"), std::nullopt);
}

} // namespace
} // namespace halvo::test
