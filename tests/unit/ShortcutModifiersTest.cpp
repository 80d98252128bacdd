// The shortcut's modifier set: stored bits, validity and key names.
#include "input/ShortcutModifiers.h"

#include <gtest/gtest.h>

using namespace halvo;

TEST(ShortcutModifiers, ValidityIsExactlyOneToFifteen) {
    EXPECT_FALSE(ShortcutModifiers(0).isValid());
    for (std::uint32_t raw = 1; raw <= 15; ++raw)
        EXPECT_TRUE(ShortcutModifiers(raw).isValid()) << raw;
    EXPECT_FALSE(ShortcutModifiers(16).isValid());
    EXPECT_FALSE(ShortcutModifiers(19).isValid()) << "low bits name Control+Alt, bit 16 is set";
}

TEST(ShortcutModifiers, DisplayStringNamesTheKeysAsDesktopsDoWithShiftBeforeSuper) {
    EXPECT_EQ(ShortcutModifiers(3).displayString(), "Ctrl+Alt");
    EXPECT_EQ(ShortcutModifiers(15).displayString(), "Ctrl+Alt+Shift+Super");
    EXPECT_EQ(ShortcutModifiers(12).displayString(), "Shift+Super");
    EXPECT_EQ(ShortcutModifiers(0).displayString(), "");
    EXPECT_EQ(ShortcutModifiers(16 + 1).displayString(), "Ctrl");
}

TEST(ShortcutModifiers, KeysAreTheFourStoredBits) {
    EXPECT_EQ(ShortcutModifiers(3).keys(), Modifier::control | Modifier::alt);
    EXPECT_EQ(ShortcutModifiers(16 + 12).keys(), Modifier::super | Modifier::shift);
    EXPECT_EQ(ShortcutModifiers(Modifier::control | Modifier::super).rawValue(), 5u);
    EXPECT_EQ(ShortcutModifiers(Modifiers()), ShortcutModifiers());
}
