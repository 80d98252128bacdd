// Tracked-application records: identity, fallbacks and icon identity.
#include "core/TrackedApp.h"

#include <gtest/gtest.h>
#include <memory>

using namespace halvo;

TEST(TrackedApp, AppWithoutBundleIdentifierIsKeyedByPidAndNamedByIt) {
    RunningApplication app;
    app.processIdentifier = 812;
    const TrackedApp record = TrackedApp::from(app);
    EXPECT_EQ(record.id, "pid.812");
    EXPECT_EQ(record.bundleIdentifier, "pid.812");
    EXPECT_EQ(record.name, "pid.812");
}

TEST(TrackedApp, RecordsDifferingOnlyInIconObjectsAreUnequal) {
    RunningApplication app;
    app.processIdentifier = 5;
    app.bundleIdentifier = "XTerm";
    app.localizedName = "XTerm";
    app.icon = std::make_shared<AppIcon>();
    TrackedApp a = TrackedApp::from(app);
    TrackedApp b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(TrackedAppHash{}(a), TrackedAppHash{}(b));
    b.icon = std::make_shared<AppIcon>(*a.icon);
    EXPECT_NE(a, b);
    b.icon = nullptr;
    EXPECT_NE(a, b);
}
