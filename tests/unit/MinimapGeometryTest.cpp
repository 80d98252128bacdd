// The overlay's geometry: panel size, viewport overflow, paging, scrolling and bubble placement.
#include "minimap/MinimapGeometry.h"

#include <gtest/gtest.h>
#include <numbers>
#include <string>

using namespace halvo;
using namespace halvo::minimap;

namespace {

struct PanelWidthCase {
    std::string name;
    double visibleWidth;
    std::size_t apps;
    double width;
};

class PanelWidth : public testing::TestWithParam<PanelWidthCase> {};

TEST_P(PanelWidth, FollowsTheAppCountWithinTheScreen) {
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(panelWidth(c.visibleWidth, c.apps), c.width);
}

INSTANTIATE_TEST_SUITE_P(Table, PanelWidth,
                         testing::Values(PanelWidthCase{"noAppsOnAWideScreen", 2560, 0, 280},
                                         PanelWidthCase{"threeAppsStayAtTheMinimum", 2560, 3, 280},
                                         PanelWidthCase{"fourApps", 2560, 4, 336},
                                         PanelWidthCase{"tenApps", 2560, 10, 768},
                                         PanelWidthCase{"twentyFiveAppsOnA1440WideScreen", 1440, 25,
                                                        1392},
                                         PanelWidthCase{"narrowScreenBeatsTheMinimum", 300, 2, 252},
                                         PanelWidthCase{"tinyScreenNeverBelowOne", 40, 2, 1}),
                         [](const auto& row_) { return row_.param.name; });

TEST(PanelFrame, CentredTwentyPointsAboveTheBottomOfTheVisibleFrame) {
    // A 1280x1024 screen less a 40-pixel dock at its bottom.
    const Rect visible{1280, 0, 1280, 984};
    const Rect frame = panelFrame(visible, 4);
    // Its bottom at 984 - 20, its top 148 higher: 816.
    EXPECT_EQ(frame, (Rect{1280 + 640 - 168, 984 - 20 - 148, 336, 148}));
}

struct StripCase {
    std::string name;
    double panel;
    std::size_t apps;
    double stripWidth;
    bool overflow;
    double viewportWidth;
};

class Strip : public testing::TestWithParam<StripCase> {};

TEST_P(Strip, OverflowsOnlyWhenTheRowIsWiderThanTheStrip) {
    const auto& c = GetParam();
    const StripLayout layout = stripLayout(c.panel, c.apps);
    EXPECT_DOUBLE_EQ(layout.stripWidth, c.stripWidth);
    EXPECT_DOUBLE_EQ(layout.contentWidth, 72.0 * static_cast<double>(c.apps) + 16);
    EXPECT_EQ(layout.overflow, c.overflow);
    EXPECT_DOUBLE_EQ(layout.viewportWidth, c.viewportWidth);
    EXPECT_DOUBLE_EQ(layout.viewportX, c.overflow ? 28 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Strip,
    testing::Values(StripCase{"fourAppsFitTheirOwnPanel", 336, 4, 312, false, 312},
                    StripCase{"fourAppsInANarrowedPanel", 300, 4, 276, true, 220},
                    StripCase{"noApps", 280, 0, 256, false, 256},
                    StripCase{"twentyFiveAppsOnA1440Screen", 1392, 25, 1368, true, 1312},
                    StripCase{"viewportNeverBelowOne", 60, 3, 36, true, 1}),
    [](const auto& row_) { return row_.param.name; });

std::vector<std::optional<Span>> row(std::size_t n, double viewportWidth, double scroll) {
    std::vector<std::optional<Span>> cells;
    const double content = 72.0 * static_cast<double>(n) + 16;
    for (std::size_t i = 0; i < n; ++i)
        cells.push_back(cellSpan(i, content, viewportWidth, scroll));
    return cells;
}

struct PagingCase {
    std::string name;
    std::size_t apps;
    double viewportWidth;
    double scroll;
    PagingDirection direction;
    std::optional<std::size_t> target;
};

class Paging : public testing::TestWithParam<PagingCase> {};

TEST_P(Paging, StepsFromTheFirstVisibleCell) {
    const auto& c = GetParam();
    EXPECT_EQ(pagingTarget(c.direction, row(c.apps, c.viewportWidth, c.scroll), c.viewportWidth),
              c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Paging,
    testing::Values(
        PagingCase{"rightFromTheStartStepsTwo", 4, 220, 0, PagingDirection::right, 2},
        PagingCase{"leftAtTheStartIsDisabled", 4, 220, 0, PagingDirection::left, std::nullopt},
        PagingCase{"rightAtTheEndIsDisabled", 4, 220, 84, PagingDirection::right, std::nullopt},
        PagingCase{"leftFromTheEndGoesBackToTheFirst", 4, 220, 84, PagingDirection::left, 0},
        PagingCase{"viewportNarrowerThanThreeCellsStepsOne", 6, 140, 0, PagingDirection::right, 1},
        PagingCase{"rightIsClampedToTheLastApp", 25, 1312, 0, PagingDirection::right, 17},
        PagingCase{"leftFromTheMiddle", 25, 1312, 400, PagingDirection::left, 0},
        PagingCase{"rowThatFitsHasNoTarget", 3, 312, 0, PagingDirection::right, std::nullopt}),
    [](const auto& row_) { return row_.param.name; });

TEST(Paging, RightButtonDisabledWithinOnePointOfTheViewportEdge) {
    // Last cell's right edge 0.5 beyond the viewport: already within the one-point tolerance.
    std::vector<std::optional<Span>> cells = {Span{-50, 22}, Span{22, 94}, Span{94, 220.5}};
    EXPECT_EQ(pagingTarget(PagingDirection::right, cells, 220), std::nullopt);
    cells.back()->maxX = 221.5;
    EXPECT_TRUE(pagingTarget(PagingDirection::right, cells, 220).has_value());
    cells.front()->minX = -1;
    EXPECT_EQ(pagingTarget(PagingDirection::left, cells, 220), std::nullopt);
}

TEST(Paging, NothingWithoutMeasuredCellsOrApps) {
    EXPECT_EQ(pagingTarget(PagingDirection::right, {}, 220), std::nullopt);
    EXPECT_EQ(pagingTarget(PagingDirection::right, {std::nullopt, std::nullopt}, 220),
              std::nullopt);
    EXPECT_EQ(pagingTarget(PagingDirection::right, row(4, 220, 0), 0), std::nullopt);
}

TEST(Scrolling, CentresTheCellAndStopsAtTheEnds) {
    const double content = 72.0 * 25 + 16;
    EXPECT_DOUBLE_EQ(scrollOffsetCentring(12, content, 1312), 8 + 72 * 12.5 - 656);
    EXPECT_DOUBLE_EQ(scrollOffsetCentring(0, content, 1312), 0);
    EXPECT_DOUBLE_EQ(scrollOffsetCentring(24, content, 1312), content - 1312);
    EXPECT_DOUBLE_EQ(scrollOffsetLeading(2, 304, 220), 84); // clamped: 8 + 144 is past the end
    EXPECT_DOUBLE_EQ(scrollOffsetLeading(1, 304, 220), 80);
}

TEST(Scrolling, ContentNarrowerThanTheViewportIsCentredAndDoesNotScroll) {
    EXPECT_DOUBLE_EQ(contentOrigin(88, 256, 50), 84);
    EXPECT_EQ(cellSpan(0, 88, 256, 50), (Span{92, 164}));
    EXPECT_DOUBLE_EQ(contentOrigin(304, 220, 500), -84);
}

struct BubbleCase {
    std::string name;
    double overlayWidth;
    double iconMidX;
    double textWidth;
    BubblePlacement expected;
};

class Bubble : public testing::TestWithParam<BubbleCase> {};

TEST_P(Bubble, StaysInsideTheOverlayAndPointsAtTheIcon) {
    const auto& c = GetParam();
    const BubblePlacement b = bubblePlacement(c.overlayWidth, c.iconMidX, c.textWidth);
    EXPECT_DOUBLE_EQ(b.width, c.expected.width);
    EXPECT_DOUBLE_EQ(b.centreX, c.expected.centreX);
    EXPECT_DOUBLE_EQ(b.tipX, c.expected.tipX);
    EXPECT_EQ(b.visible, c.expected.visible);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Bubble,
    testing::Values(
        // 100-wide bubble over the middle of a wide overlay: centred on the icon, tip in the
        // middle.
        BubbleCase{"middleOfAWideStrip", 768, 400, 76, {100, 400, 50, true}},
        // Near the left end the bubble stops 12 from the edge and the tip moves toward the icon.
        BubbleCase{"nearTheLeftEdge", 768, 40, 76, {100, 62, 28, true}},
        // Closer still: the tip stays 12 from the bubble's own left end.
        BubbleCase{"tipNeverCloserThanTwelve", 768, 14, 76, {100, 62, 12, true}},
        BubbleCase{"nearTheRightEdge", 768, 750, 76, {100, 706, 88, true}},
        BubbleCase{"longNameIsCappedAt260", 768, 400, 300, {260, 400, 130, true}},
        BubbleCase{"narrowOverlayCapsTheWidth", 100, 50, 300, {76, 50, 38, true}},
        BubbleCase{"iconAtTheVeryEdgeLosesItsBubble", 768, 8, 76, {100, 62, 12, false}}),
    [](const auto& row_) { return row_.param.name; });

TEST(Spring, StartsAtRestOvershootsAndSettles) {
    EXPECT_DOUBLE_EQ(springProgress(0), 0);
    double peak = 0;
    for (double t = 0; t < 1; t += 0.005)
        peak = std::max(peak, springProgress(t));
    EXPECT_GT(peak, 1.0);  // damping 0.82 overshoots slightly
    EXPECT_LT(peak, 1.02); // but only slightly
    const double settle = springSettlingTime();
    EXPECT_NEAR(springProgress(settle), 1.0, 0.001);
    EXPECT_LT(settle, 0.6);
}

TEST(Wiggle, RocksWithinTwoPointFourDegrees) {
    EXPECT_DOUBLE_EQ(wiggleAngle(0), 0);
    EXPECT_NEAR(wiggleAngle(std::numbers::pi / 72), 2.4, 1e-9); // quarter period
    EXPECT_NEAR(wiggleAngle(std::numbers::pi / 18), 0, 1e-9);   // one full period
}

} // namespace
