// The shortcut's modifier set: stored bits, symbols and the two platform masks.
#include "input/ShortcutModifiers.h"

#include <gtest/gtest.h>

using namespace halvo;

TEST(ShortcutModifiers, ValidityIsExactlyOneToFifteen) {
    EXPECT_FALSE(ShortcutModifiers(0).isValid());
    for (std::uint32_t raw = 1; raw <= 15; ++raw)
        EXPECT_TRUE(ShortcutModifiers(raw).isValid()) << raw;
    EXPECT_FALSE(ShortcutModifiers(16).isValid());
    EXPECT_FALSE(ShortcutModifiers(19).isValid()) << "low bits name Control+Option, bit 16 is set";
}

TEST(ShortcutModifiers, DisplayStringOrdersShiftBeforeCommand) {
    EXPECT_EQ(ShortcutModifiers(3).displayString(), "⌃⌥");
    EXPECT_EQ(ShortcutModifiers(15).displayString(), "⌃⌥⇧⌘");
    EXPECT_EQ(ShortcutModifiers(12).displayString(), "⇧⌘");
    EXPECT_EQ(ShortcutModifiers(0).displayString(), "");
    EXPECT_EQ(ShortcutModifiers(16 + 1).displayString(), "⌃");
}

TEST(ShortcutModifiers, PlatformMasks) {
    EXPECT_EQ(ShortcutModifiers(3).carbonModifiers(), 0x1800u);
    EXPECT_EQ(ShortcutModifiers(15).carbonModifiers(), 0x1B00u);
    EXPECT_EQ(ShortcutModifiers(3).eventModifierFlags(), 0xC0000u);
    EXPECT_EQ(ShortcutModifiers(15).eventModifierFlags(), 0x1E0000u);
}

TEST(ShortcutModifiers, FlagWordsTranslateBackIgnoringOtherFlags) {
    EXPECT_EQ(ShortcutModifiers::fromEventModifierFlags(0x1C0100).rawValue(), 7u);
    EXPECT_TRUE(ShortcutModifiers::fromEventModifierFlags(0x10000).isEmpty());
}

TEST(ShortcutModifiers, SetAlgebraReportsWhatWasPresent) {
    ShortcutModifiers set{ShortcutModifiers::control};
    EXPECT_TRUE(set.insert(ShortcutModifiers::shift));
    EXPECT_FALSE(set.insert(ShortcutModifiers::shift));
    EXPECT_EQ(set.update(ShortcutModifiers::control), ShortcutModifiers::control);
    EXPECT_EQ(set.remove(ShortcutModifiers::command), std::nullopt);
    EXPECT_EQ(set.remove(ShortcutModifiers::shift), ShortcutModifiers::shift);
    EXPECT_EQ(set, ShortcutModifiers::control);
    EXPECT_EQ((ShortcutModifiers{}), ShortcutModifiers(0));
    EXPECT_TRUE(ShortcutModifiers(3).isSuperset(ShortcutModifiers::option));
    EXPECT_TRUE(ShortcutModifiers(3).isDisjoint(ShortcutModifiers(12)));
}
