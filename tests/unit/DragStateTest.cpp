// Press, drag and release on the overlay's icons: clicks, whole-cell steps, insert-before targets.
#include "minimap/DragState.h"

#include <gtest/gtest.h>
#include <string>

using namespace halvo;

namespace {

using Kind = DragOutcome::Kind;

struct ReleaseCase {
    std::string name;
    std::size_t index;
    std::size_t count;
    double dx;
    double dy;
    DragOutcome expected;
};

class Release : public testing::TestWithParam<ReleaseCase> {};

TEST_P(Release, IsAClickAReorderOrNothing) {
    const auto& c = GetParam();
    EXPECT_EQ(DragState::outcome(c.index, c.count, c.dx, c.dy, 72), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Release,
    testing::Values(
        ReleaseCase{"inPlaceIsAClick", 2, 5, 0, 0, {Kind::activate, 2, 0}},
        ReleaseCase{"justUnderAThirdOfACellIsAClick", 2, 5, 25.1, 27.9, {Kind::activate, 2, 0}},
        ReleaseCase{"thirtyRightIsNeither", 2, 5, 30, 0, {}},
        ReleaseCase{"thirtySixRightMovesOnePlace", 2, 5, 36, 0, {Kind::reorder, 2, 4}},
        ReleaseCase{"thirtySixLeftMovesOnePlace", 2, 5, -36, 0, {Kind::reorder, 2, 1}},
        ReleaseCase{"threeHundredLeftGoesToTheFront", 2, 5, -300, 0, {Kind::reorder, 2, 0}},
        ReleaseCase{"firstDraggedLeftIsNothing", 0, 5, -100, 0, {}},
        ReleaseCase{"lastDraggedRightStaysLast", 4, 5, 100, 0, {Kind::reorder, 4, 5}},
        ReleaseCase{"farRightIsClampedToTheEnd", 1, 5, 1000, 0, {Kind::reorder, 1, 5}},
        ReleaseCase{"mostlyVerticalIsNothing", 2, 5, 10, 40, {}},
        ReleaseCase{"oneCellToTheLeftOfTheSecond", 1, 5, -72, 0, {Kind::reorder, 1, 0}}),
    [](const auto& row_) { return row_.param.name; });

TEST(DragSteps, HalvesRoundAwayFromZero) {
    EXPECT_EQ(DragState::steps(36, 72), 1);    // 0.5
    EXPECT_EQ(DragState::steps(-36, 72), -1);  // -0.5
    EXPECT_EQ(DragState::steps(35.28, 72), 0); // 0.49
    EXPECT_EQ(DragState::steps(108, 72), 2);   // 1.5
}

TEST(DragState, PressBeginsOnceAndTheOffsetOnlyMovesOutsideTheDeadZone) {
    DragState state;
    EXPECT_TRUE(state.change("a", 0, 0));
    EXPECT_FALSE(state.change("a", 3, 0));
    EXPECT_FALSE(state.isDragging());
    EXPECT_DOUBLE_EQ(state.dragOffset(), 0);

    state.change("a", 10, 0);
    EXPECT_TRUE(state.isDragging());
    EXPECT_DOUBLE_EQ(state.dragOffset(), 10);

    state.change("a", 2, 0); // back inside the dead zone: keeps the last offset, still dragging
    EXPECT_TRUE(state.isDragging());
    EXPECT_DOUBLE_EQ(state.dragOffset(), 10);
}

TEST(DragState, VerticalMovementDragsButNeverDisplaces) {
    DragState state;
    state.change("a", 0, 0);
    state.change("a", 1, 30);
    EXPECT_TRUE(state.isDragging());
    EXPECT_DOUBLE_EQ(state.dragOffset(), 0);
}

TEST(DragState, EndReportsThePressedCellAndGoesIdle) {
    DragState state;
    EXPECT_EQ(state.end(), std::nullopt);
    state.change("a", 0, 0);
    state.change("b", 20, 0); // a second cell's events do not take over the press
    EXPECT_EQ(state.draggingID(), "a");
    EXPECT_EQ(state.end(), "a");
    EXPECT_EQ(state.draggingID(), std::nullopt);
    EXPECT_FALSE(state.isDragging());
    EXPECT_DOUBLE_EQ(state.dragOffset(), 0);
}

} // namespace
