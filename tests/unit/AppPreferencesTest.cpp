// The preferences store: fallbacks for missing and invalid stored values, and what changes write.
#include "settings/AppPreferences.h"

#include "platform/sim/SimUserDefaults.h"

#include <gtest/gtest.h>
#include <limits>

using namespace halvo;

TEST(AppPreferences, EmptyStoreGivesSystemThemeAndControlAlt) {
    SimUserDefaults defaults;
    AppPreferences preferences(defaults);
    EXPECT_EQ(preferences.theme().get(), Theme::system);
    EXPECT_EQ(preferences.modifiers()->rawValue(), 3u);
    EXPECT_TRUE(defaults.writes().empty());
}

TEST(AppPreferences, ThemeMatchesOnlyExactRawValues) {
    const std::pair<DefaultsValue, Theme> cases[] = {
        {std::string("light"), Theme::light}, {std::string("dark"), Theme::dark},
        {std::string("Dark"), Theme::system}, {std::string("system"), Theme::system},
        {std::string(""), Theme::system},     {2.0, Theme::system},
    };
    for (const auto& [value, expected] : cases) {
        SimUserDefaults defaults;
        defaults.preset(AppPreferences::themeKey, value);
        EXPECT_EQ(AppPreferences(defaults).theme().get(), expected) << value.index();
    }
}

TEST(AppPreferences, InvalidStoredModifiersFallBackToThreeAndStayStored) {
    const std::pair<DefaultsValue, std::uint32_t> cases[] = {
        {0.0, 3},
        {16.0, 3},
        {15.0, 15},
        {12.0, 12},
        {std::string("12"), 3},
        {true, 3},
        {-1.0, 3},
        {4294967297.0, 3},
        {std::numeric_limits<double>::quiet_NaN(), 3},
        {std::vector<std::string>{"3"}, 3},
    };
    for (const auto& [value, expected] : cases) {
        SimUserDefaults defaults;
        defaults.preset(AppPreferences::modifiersKey, value);
        AppPreferences preferences(defaults);
        EXPECT_EQ(preferences.modifiers()->rawValue(), expected) << value.index();
        EXPECT_TRUE(defaults.writes().empty()) << "loading must not write";
    }
}

TEST(AppPreferences, SettingTheSameThemeStillPublishesAndWrites) {
    SimUserDefaults defaults;
    AppPreferences preferences(defaults);
    std::vector<Theme> seen;
    auto subscription = preferences.theme().subscribe([&](Theme t) { seen.push_back(t); });
    preferences.setTheme(Theme::system);
    preferences.setTheme(Theme::dark);
    EXPECT_EQ(seen, (std::vector<Theme>{Theme::system, Theme::dark}));
    EXPECT_EQ(defaults.writeCount(AppPreferences::themeKey), 2u);
    EXPECT_EQ(defaults.stringForKey(AppPreferences::themeKey), "dark");
}

TEST(AppPreferences, SetModifiersIgnoresInvalidCombinationsAndStoresValidOnesAsNumbers) {
    SimUserDefaults defaults;
    AppPreferences preferences(defaults);
    int notifications = 0;
    auto subscription = preferences.modifiers().subscribe([&](auto) { ++notifications; });
    preferences.setModifiers(ShortcutModifiers{});
    preferences.setModifiers(ShortcutModifiers(16));
    EXPECT_EQ(notifications, 0);
    EXPECT_TRUE(defaults.writes().empty());

    preferences.setModifiers(ShortcutModifiers(Modifier::super | Modifier::shift));
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(preferences.modifiers()->rawValue(), 12u);
    EXPECT_EQ(defaults.objectForKey(AppPreferences::modifiersKey), DefaultsValue(12.0));
    EXPECT_EQ(AppPreferences(defaults).modifiers()->rawValue(), 12u) << "round trip";
}
