// Where the overlay's layer surface goes for a frame in layout coordinates: the output, the size
// and the margins from that output's bottom and left edges.
#include "platform/wayland/LayerPlacement.h"

#include <gtest/gtest.h>

namespace halvo {
namespace {

Screen screen(const char* name, Rect frame) {
    return {0, name, frame, frame};
}

TEST(LayerPlacement, FromLayoutFrames) {
    const std::vector<Screen> sideBySide = {screen("HEADLESS-1", {0, 0, 1280, 1024}),
                                            screen("HEADLESS-2", {1280, 0, 1280, 1024})};
    // The second screen 768 high and top-aligned with the first: its bottom is at 768.
    const std::vector<Screen> shorterSecond = {screen("DP-1", {0, 0, 1280, 1024}),
                                               screen("DP-2", {1280, 0, 1280, 768})};
    const std::vector<Screen> withGap = {screen("A", {0, 0, 1000, 1000}),
                                         screen("B", {1200, 0, 1000, 1000})};
    struct Row {
        const char* name;
        const std::vector<Screen>& screens;
        Rect frame;
        std::optional<LayerPlacement> expected;
    };
    const Row rows[] = {
        {"centred on the second screen",
         sideBySide,
         {1680, 816, 480, 148}, // bottom at 964: 60 above 1024
         LayerPlacement{"HEADLESS-2", 480, 148, 60, 400}},
        {"on a shorter, top-aligned screen: margin from its own bottom (768 - 728)",
         shorterSecond,
         {1680, 580, 480, 148},
         LayerPlacement{"DP-2", 480, 148, 40, 400}},
        {"across two screens: the one under its centre (x 1240)",
         sideBySide,
         {1000, 876, 480, 148},
         LayerPlacement{"HEADLESS-1", 480, 148, 0, 1000}},
        {"centre in a gap: the screen it overlaps most (150 against 50)",
         withGap,
         {850, 900, 400, 100},
         LayerPlacement{"A", 400, 100, 0, 850}},
        {"fractions round to whole pixels",
         sideBySide,
         {1680.4, 816.2, 479.6, 148.2}, // bottom at 964.4: 59.6 above 1024
         LayerPlacement{"HEADLESS-2", 480, 148, 60, 400}},
        {"on no screen", sideBySide, {3000, 816, 480, 148}, std::nullopt},
        {"empty", sideBySide, {1680, 816, 0, 148}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(LayerPlacement::forFrame(row.frame, row.screens), row.expected);
    }
}

} // namespace
} // namespace halvo
