// The client geometry a configure request names for a wanted frame, under each win_gravity.
#include "platform/x11/X11ConfigureRequest.h"

#include <gtest/gtest.h>

using namespace halvo;

TEST(X11ConfigureRequest, TheFramesReferencePointFollowsTheClientsGravity) {
    // A 1-pixel frame border, a 22-pixel title bar, and a client border of 2: the client's inside
    // is 500 - 1 - 1 - 4 = 494 wide and 400 - 22 - 1 - 4 = 373 high, 498 x 377 with its border.
    const X11ConfigureRequest::Chrome chrome{1, 1, 22, 1, 2};
    const Rect frame{1300, 100, 500, 400};
    struct Case {
        std::uint32_t gravity;
        std::int32_t x;
        std::int32_t y;
    };
    const Case cases[] = {
        {XCB_GRAVITY_NORTH_WEST, 1300, 100}, {XCB_GRAVITY_NORTH, 1301, 100},
        {XCB_GRAVITY_NORTH_EAST, 1302, 100}, {XCB_GRAVITY_WEST, 1300, 112},
        {XCB_GRAVITY_CENTER, 1301, 112},     {XCB_GRAVITY_SOUTH_EAST, 1302, 123},
        {XCB_GRAVITY_STATIC, 1301, 122},     {0, 1300, 100}, // unknown reads as NorthWest
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gravity);
        EXPECT_EQ(X11ConfigureRequest::forFrame(frame, chrome, c.gravity),
                  (X11ConfigureRequest::Geometry{c.x, c.y, 494, 373}));
    }
}

TEST(X11ConfigureRequest, GravityComesFromTheNormalHintsOnlyWhenFlagged) {
    std::vector<std::uint32_t> hints(18, 0);
    hints[17] = XCB_GRAVITY_SOUTH_EAST;
    EXPECT_EQ(X11ConfigureRequest::gravity(hints), XCB_GRAVITY_NORTH_WEST);
    hints[0] = 1u << 9;
    EXPECT_EQ(X11ConfigureRequest::gravity(hints), XCB_GRAVITY_SOUTH_EAST);
    EXPECT_EQ(X11ConfigureRequest::gravity({1u << 9}), XCB_GRAVITY_NORTH_WEST) << "truncated";
}
