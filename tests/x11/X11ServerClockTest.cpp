// The server clock's offset as learnt from event times: the quickest event sets it, the server's
// wrap-around is bridged, and an old quick event stops counting after two windows.
#include "platform/x11/X11ServerClock.h"

#include <gtest/gtest.h>

using namespace halvo;

TEST(X11ServerClock, DatesEventsFromTheQuickestObservedTransit) {
    X11ServerClock clock;
    EXPECT_EQ(clock.age(5000, 90'000), 0.0) << "nothing heard yet: no age";

    // The server's 5000 is local 90'000 (offset 85'000); events arrive 4, 1 and 7 ms late.
    clock.observe(5000, 90'004);
    clock.observe(5100, 90'101);
    clock.observe(5200, 90'207);
    EXPECT_DOUBLE_EQ(clock.age(5300, 90'330), 0.029) << "330 - 300 - the 1 ms transit";
    EXPECT_EQ(clock.age(5400, 90'330), 0.0) << "stamped after now: no negative age";
    EXPECT_EQ(clock.age(0, 90'330), 0.0) << "CurrentTime carries no time";

    // Past 2^32 milliseconds the server starts again from 0.
    X11ServerClock wrapping;
    wrapping.observe(0xFFFF'FFF0u, 1'000);
    EXPECT_DOUBLE_EQ(wrapping.age(10, 1'050), 0.024) << "16 ms to the wrap, 10 after it";

    // A quick event twenty seconds old no longer counts: the clocks may have drifted since.
    X11ServerClock drifting;
    drifting.observe(1000, 1'000);
    drifting.observe(11'000, 11'005);
    EXPECT_DOUBLE_EQ(drifting.age(11'000, 11'010), 0.010);
    drifting.observe(21'000, 21'005);
    EXPECT_DOUBLE_EQ(drifting.age(21'000, 21'010), 0.005);
}
