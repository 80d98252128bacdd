// The status menu's entries and tooltip.
#include "app/StatusMenu.h"

#include "platform/Localization.h"
#include "platform/sim/SimStatusItem.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace halvo {
namespace {

struct Calls {
    int windowManager = 0, keyboardAccess = 0, preferences = 0, about = 0, quit = 0;
};

StatusMenu::Actions actionsCounting(Calls& calls) {
    return {[&] { ++calls.windowManager; }, [&] { ++calls.keyboardAccess; },
            [&] { ++calls.preferences; }, [&] { ++calls.about; }, [&] { ++calls.quit; }};
}

TEST(StatusMenuTest, TrustedMenuHasFourEntriesWithKeyEquivalents) {
    Calls calls;
    const auto items = StatusMenu::build(true, actionsCounting(calls));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "Preferences…");
    EXPECT_EQ(items[0].keyEquivalent, ",");
    EXPECT_EQ(items[1].title, "About Halvo");
    EXPECT_TRUE(items[1].keyEquivalent.empty());
    EXPECT_TRUE(items[2].isSeparator);
    EXPECT_EQ(items[3].title, "Quit Halvo");
    EXPECT_EQ(items[3].keyEquivalent, "q");
    items[0].action();
    items[1].action();
    items[3].action();
    EXPECT_EQ(calls.preferences, 1);
    EXPECT_EQ(calls.about, 1);
    EXPECT_EQ(calls.quit, 1);
}

TEST(StatusMenuTest, UntrustedMenuLeadsWithDisabledWarningAndBothLinks) {
    Calls calls;
    const auto items = StatusMenu::build(false, actionsCounting(calls));
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0].title, "Window manager required");
    EXPECT_FALSE(items[0].enabled);
    EXPECT_FALSE(items[0].action);
    EXPECT_EQ(items[1].title, "Open Window Manager Help…");
    EXPECT_EQ(items[2].title, "Open Keyboard Access Help…");
    EXPECT_TRUE(items[3].isSeparator);
    EXPECT_EQ(items[4].title, "Preferences…");
    EXPECT_EQ(items[7].title, "Quit Halvo");
    items[1].action();
    items[2].action();
    EXPECT_EQ(calls.windowManager, 1);
    EXPECT_EQ(calls.keyboardAccess, 1);
}

TEST(StatusMenuTest, TooltipNamesTheCombinationsKeys) {
    EXPECT_EQ(StatusMenu::toolTip(ShortcutModifiers::defaultCombination),
              "Halvo — Ctrl+Alt + ←/→ to switch apps");
    EXPECT_EQ(StatusMenu::toolTip(ShortcutModifiers(12)),
              "Halvo — Shift+Super + ←/→ to switch apps");
}

TEST(StatusMenuTest, TextsGoThroughTheTranslationsWithTheirComments) {
    std::vector<std::string> comments;
    setLocalizer([&](std::string_view key, std::string_view comment) {
        comments.emplace_back(comment);
        if (key == "Halvo — %1 + ←/→ to switch apps")
            return std::string("Halvo — ←/→ mit %1 wechselt Apps");
        if (key == "Ctrl")
            return std::string("Strg");
        return "de:" + std::string(key);
    });
    const auto items = StatusMenu::build(true, {});
    const std::string tip = StatusMenu::toolTip(ShortcutModifiers::defaultCombination);
    setLocalizer({});
    EXPECT_EQ(items[0].title, "de:Preferences…");
    EXPECT_EQ(tip, "Halvo — ←/→ mit Strg+de:Alt wechselt Apps");
    EXPECT_NE(std::find(comments.begin(), comments.end(), "Quit menu item"), comments.end());
}

TEST(StatusMenuTest, SetUpFallsBackToTheTitleWithoutIcon) {
    SimStatusItem withoutIcon;
    StatusMenu::setUp(withoutIcon, ShortcutModifiers::defaultCombination, true, {});
    EXPECT_EQ(withoutIcon.title(), "Halvo");
    EXPECT_EQ(withoutIcon.menu().size(), 4u);
    EXPECT_EQ(withoutIcon.toolTip(), "Halvo — Ctrl+Alt + ←/→ to switch apps");

    SimStatusItem withIcon;
    withIcon.makeImageAvailable(StatusMenu::imageName);
    StatusMenu::setUp(withIcon, ShortcutModifiers::defaultCombination, false, {});
    EXPECT_EQ(withIcon.image(), "halvo");
    EXPECT_EQ(withIcon.imageDescription(), "Halvo");
    EXPECT_TRUE(withIcon.title().empty());
    EXPECT_EQ(withIcon.menu().size(), 8u);
}

} // namespace
} // namespace halvo
