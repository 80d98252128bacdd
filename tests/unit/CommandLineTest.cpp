// The halvo program's options and what each makes it do.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

TEST(CommandLineTest, OptionsAndTheirActions) {
    using Action = CommandLine::Action;
    EXPECT_EQ(CommandLine::parse({}).action(), Action::run);
    EXPECT_FALSE(CommandLine::parse({}).openPreferences());
    EXPECT_TRUE(CommandLine::parse({"--preferences"}).openPreferences());
    EXPECT_EQ(CommandLine::parse({"--preferences", "--help"}).action(), Action::showHelp);
    EXPECT_EQ(CommandLine::parse({"-h"}).action(), Action::showHelp);
    EXPECT_EQ(CommandLine::parse({"--version", "--bogus"}).action(), Action::showVersion);
    const CommandLine refused = CommandLine::parse({"--preferences", "--bogus"});
    EXPECT_EQ(refused.action(), Action::refuse);
    EXPECT_EQ(refused.error(), "unknown option \"--bogus\"");
}

TEST(CommandLineTest, VersionNamesTheLicence) {
    const std::string text = CommandLine::versionText("1.2.3", "7");
    EXPECT_EQ(text.rfind("Halvo 1.2.3 (7)\n", 0), 0u) << text;
    EXPECT_NE(text.find("GPL-3.0-or-later"), std::string::npos) << text;
}

} // namespace
} // namespace halvo
