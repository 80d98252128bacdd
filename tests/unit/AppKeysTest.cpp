// What a workspace backend reports when its applications change between two reads.
#include "platform/AppKeys.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

using N = WorkspaceNotification;

AppKeys keys(std::set<std::string> running, std::set<std::string> hidden = {},
             std::string frontmost = {}) {
    return {std::move(running), std::move(hidden), std::move(frontmost)};
}

TEST(AppKeys, ChangesAreReportedOnceEachInOrderAndHidingOnlyOfAppsThatRunBeforeAndAfter) {
    const AppKeys before = keys({"a", "b", "c"}, {"c"}, "a");
    EXPECT_TRUE(before.changesSince(before).empty());
    // b quits, d and e start (e hidden from its start), c comes back, a hides, d in front.
    const AppKeys after = keys({"a", "c", "d", "e"}, {"a", "e"}, "d");
    EXPECT_EQ(
        after.changesSince(before),
        (std::vector<N>{N::didLaunchApplication, N::didTerminateApplication, N::didHideApplication,
                        N::didUnhideApplication, N::didActivateApplication}));
    // A hidden app that quits is not unhidden; one that starts hidden is not hidden.
    EXPECT_EQ(keys({"a", "e"}, {"e"}, "a").changesSince(before),
              (std::vector<N>{N::didLaunchApplication, N::didTerminateApplication}));
}

TEST(AppKeys, AnActivationNeedsAFrontThatMayHaveChangedAndAnAppInFront) {
    const AppKeys before = keys({"a", "b"}, {}, "a");
    EXPECT_EQ(keys({"a", "b"}, {}, "b").changesSince(before),
              std::vector<N>{N::didActivateApplication});
    EXPECT_TRUE(keys({"a", "b"}, {}, "b").changesSince(before, false).empty());
    EXPECT_TRUE(keys({"a", "b"}).changesSince(before).empty());
}

} // namespace
} // namespace halvo
