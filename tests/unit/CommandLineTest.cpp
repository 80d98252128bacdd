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

} // namespace
} // namespace halvo
