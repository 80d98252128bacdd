// The About window's version line and its fallbacks.
#include "settings/AboutVersion.h"

#include "platform/sim/SimBundleInfo.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

TEST(AboutVersionTest, VersionAndBuildWithTheirFallbacks) {
    SimBundleInfo bundle;
    EXPECT_EQ(AboutVersion::text(bundle), "1.0 (1)");
    bundle.setVersion("2.3");
    EXPECT_EQ(AboutVersion::text(bundle), "2.3 (1)");
    bundle.setBuild("41");
    EXPECT_EQ(AboutVersion::text(bundle), "2.3 (41)");
}

} // namespace
} // namespace halvo
