// The root's pixels read through shared memory: the same pixels GetImage gives, at any offset,
// and after the segment grew for a larger area.
#include "minimap/view/RootPixels.h"

#include "ui/UiSession.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace halvo;

TEST(RootPixelsTest, SharedMemoryGivesTheScreensPixelsWhateverTheAreasSize) {
    xcb_connection_t* c = xcb_connect(test::uiSession()->display().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    // Two unmanaged windows side by side, each filled with its own colour.
    const std::uint32_t colours[] = {0x00ff8040, 0x002080c0};
    for (int i = 0; i < 2; ++i) {
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t values[] = {colours[i], 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root,
                          static_cast<int16_t>(100 + 50 * i), 300, 50, 40, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, window);
    }
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

    RootPixels pixels(c);
    // A small area first, then a larger one the segment must grow for; both straddle the two
    // windows at an odd offset, so a wrong stride or origin shows.
    for (const QRect area : {QRect(131, 303, 37, 9), QRect(101, 301, 97, 37)}) {
        const QImage image = pixels.read(area);
        ASSERT_EQ(image.size(), area.size());
        EXPECT_TRUE(pixels.sharedMemoryUsed());
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                const std::uint32_t expected = colours[area.x() + x < 150 ? 0 : 1];
                ASSERT_EQ(image.pixel(x, y) & 0xffffff, expected)
                    << "at " << area.x() + x << "," << area.y() + y;
            }
        }
    }
    xcb_disconnect(c);
}
