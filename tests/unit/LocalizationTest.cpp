// Filling the placeholders of translated texts.
#include "platform/Localization.h"

#include <gtest/gtest.h>

using namespace halvo;

TEST(FillPlaceholders, ReplacesNumberedPlaceholdersInOnePass) {
    struct Row {
        const char* name;
        std::string format;
        std::string expected;
    };
    const Row rows[] = {
        {"in order", "%1 + %2", "Ctrl+Alt + ←"},
        {"reordered by a translation", "%2 mit %1", "← mit Ctrl+Alt"},
        {"repeated", "%1/%1", "Ctrl+Alt/Ctrl+Alt"},
        {"without an argument it stays", "%1 %3", "Ctrl+Alt %3"},
        {"a lone percent sign stays", "100% %1", "100% Ctrl+Alt"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(fillPlaceholders(row.format, {"Ctrl+Alt", "←"}), row.expected) << row.name;
    EXPECT_EQ(fillPlaceholders("%1 %2", {"%2", "x"}), "%2 x") << "an argument is not filled again";
}
