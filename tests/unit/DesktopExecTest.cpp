// Exec values of the autostart entry: quoting and reading back.
#include "platform/DesktopExec.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

struct ExecCase {
    const char* name;
    const char* program;
    const char* exec;
};

class DesktopExecTest : public testing::TestWithParam<ExecCase> {};

TEST_P(DesktopExecTest, QuotesAndReadsBack) {
    const ExecCase& c = GetParam();
    EXPECT_EQ(DesktopExec::quote(c.program), c.exec);
    EXPECT_EQ(DesktopExec::program(c.exec), std::string(c.program));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DesktopExecTest,
    testing::Values(ExecCase{"plain_path", "/usr/bin/halvo", "/usr/bin/halvo"},
                    ExecCase{"space", "/opt/my apps/halvo", "\"/opt/my apps/halvo\""},
                    ExecCase{"dollar_and_quote", "/x/$a\"b", "\"/x/\\\\$a\\\\\"b\""},
                    ExecCase{"backslash_needs_four", "/x/a\\b", "\"/x/a\\\\\\\\b\""},
                    ExecCase{"percent_doubled", "/x/100%", "/x/100%%"},
                    ExecCase{"percent_in_quotes", "/x y/5%", "\"/x y/5%%\""}),
    [](const testing::TestParamInfo<ExecCase>& param) { return param.param.name; });

TEST(DesktopExecReadTest, FirstArgumentOnlyAndBrokenQuoting) {
    EXPECT_EQ(DesktopExec::program("/usr/bin/halvo --preferences"), "/usr/bin/halvo");
    EXPECT_EQ(DesktopExec::program("  \"/a b/halvo\" %u"), "/a b/halvo");
    EXPECT_EQ(DesktopExec::program("\"/a b/halvo"), std::nullopt);
    EXPECT_EQ(DesktopExec::program("   "), std::nullopt);
    EXPECT_EQ(DesktopExec::program("\"\""), std::nullopt);
}

} // namespace
} // namespace halvo
