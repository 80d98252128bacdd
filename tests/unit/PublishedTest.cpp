// Observable values: every assignment reaches every live subscriber.
#include "platform/Published.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace halvo;

TEST(Published, NotifiesEveryAssignmentIncludingEqualValues) {
    Published<int> value(1);
    std::vector<int> seen;
    Subscription sub = value.subscribe([&](const int& v) { seen.push_back(v); });
    value = 2;
    value = 2;
    EXPECT_EQ(seen, (std::vector<int>{2, 2}));
}

TEST(Published, SubscribeWithCurrentDeliversTheCurrentValueFirst) {
    Published<std::string> value(std::string("system"));
    std::vector<std::string> seen;
    Subscription sub = value.subscribeWithCurrent([&](const std::string& v) { seen.push_back(v); });
    value = "dark";
    EXPECT_EQ(seen, (std::vector<std::string>{"system", "dark"}));
}

TEST(Published, DestroyedSubscriptionStopsDeliveryAndMayOutliveTheValue) {
    int calls = 0;
    Subscription outliving;
    {
        Published<std::optional<int>> value;
        {
            Subscription sub = value.subscribe([&](const auto&) { ++calls; });
            value = 1;
        }
        value = 2;
        outliving = value.subscribe([&](const auto&) { ++calls; });
    }
    outliving.reset(); // the value is gone; ending the subscription must not touch it
    EXPECT_EQ(calls, 1);
}

TEST(Published, SubscriberRemovedDuringNotificationIsNotCalledAgain) {
    Published<int> value(0);
    int secondCalls = 0;
    Subscription second;
    Subscription first = value.subscribe([&](const int&) { second.reset(); });
    second = value.subscribe([&](const int&) { ++secondCalls; });
    value = 1;
    value = 2;
    EXPECT_EQ(secondCalls, 0);
}
