// The press/drag state of the overlay's icon cells and what a release means: a click, a reorder
// by whole cells, or nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace halvo {

struct DragOutcome {
    enum class Kind { none, activate, reorder };
    Kind kind = Kind::none;
    int source = 0;
    int destination = 0; // insert-before offset, 0...n, counted before the source is removed

    bool operator==(const DragOutcome&) const = default;
};

class DragState {
public:
    // Movement of up to this many points on each axis is still a press in place.
    static constexpr double deadZone = 4;

    // The press (dx = dy = 0) and every movement of cell `cellID`, translated (dx, dy) from the
    // press point. Returns true when this began a press, so the caller clears the hover.
    bool change(const std::string& cellID, double dx, double dy);

    // Release: returns the cell that was pressed (none if no press was under way) and goes idle.
    std::optional<std::string> end();
    // Back to idle without a release (the overlay was hidden).
    void reset();

    const std::optional<std::string>& draggingID() const { return m_draggingID; }
    // The dragged cell's horizontal displacement: the last dx beyond the dead zone.
    double dragOffset() const { return m_dragOffset; }
    // True once the pointer left the dead zone on either axis, until the release.
    bool isDragging() const { return m_isDragging; }

    // Whole cells a release `dx` points away moves by: dx / cellWidth rounded to the nearest
    // integer, halves away from zero.
    static long steps(double dx, double cellWidth);

    // What a release (dx, dy) from the press on the cell at `index` of `count` means: a click
    // when it travelled less than 0.35 cell horizontally and 28 points vertically; otherwise a
    // reorder to the insert-before destination, or nothing when the order would not change.
    static DragOutcome outcome(std::size_t index, std::size_t count, double dx, double dy,
                               double cellWidth);

private:
    std::optional<std::string> m_draggingID;
    double m_dragOffset = 0;
    bool m_isDragging = false;
};

} // namespace halvo
