// The About window's version line and its fallbacks.
#include "settings/AboutVersion.h"

#include "platform/sim/SimBundleInfo.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

TEST(AboutVersionTest, BothStringsPresent) {
    SimBundleInfo bundle;
    bundle.setInfoValue("CFBundleShortVersionString", std::string("2.3"));
    bundle.setInfoValue("CFBundleVersion", std::string("41"));
    EXPECT_EQ(AboutVersion::text(bundle), "2.3 (41)");
}

TEST(AboutVersionTest, MissingOrNonStringValuesFallBack) {
    SimBundleInfo empty;
    EXPECT_EQ(AboutVersion::text(empty), "1.0 (1)");

    SimBundleInfo onlyShort;
    onlyShort.setInfoValue("CFBundleShortVersionString", std::string("2.3"));
    EXPECT_EQ(AboutVersion::text(onlyShort), "2.3 (1)");

    SimBundleInfo numericBuild;
    numericBuild.setInfoValue("CFBundleShortVersionString", 2.5);
    numericBuild.setInfoValue("CFBundleVersion", 41.0);
    EXPECT_EQ(AboutVersion::text(numericBuild), "1.0 (1)");
}

} // namespace
} // namespace halvo
