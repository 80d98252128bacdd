// A press on one of the overlay's cells and what the pointer does until the button comes up: a
// click activates the app, a drag along the strip reorders it (DragState says which).
#pragma once

#include "minimap/DragState.h"

#include <QPointF>
#include <cstddef>
#include <optional>
#include <string>

namespace halvo {

class CellDrag {
public:
    // What a release amounts to for the cell of `id`.
    struct Release {
        std::string id;
        DragOutcome outcome;
    };

    // The button went down on cell `index`, the app `id`, at `point` (global, so that moving the
    // panel does not move the drag). True when this began a press, so the caller clears the hover.
    bool press(std::size_t index, const std::string& id, QPointF point);
    void move(QPointF point);
    // The button came up at `point` with `count` cells; nothing when no press of a cell was under
    // way.
    std::optional<Release> release(QPointF point, std::size_t count);
    // Back to idle without a release (the overlay was hidden).
    void reset();

    bool isPressed() const { return m_index.has_value(); }
    const DragState& state() const { return m_drag; }

private:
    DragState m_drag;
    std::optional<std::size_t> m_index;
    std::string m_id;
    QPointF m_pressPoint;
};

} // namespace halvo
