// Press, drag and release of the overlay's icon cells.
#include "minimap/DragState.h"

#include <algorithm>
#include <cmath>

namespace halvo {

bool DragState::change(const std::string& cellID, double dx, double dy) {
    bool began = false;
    if (!m_draggingID) {
        m_draggingID = cellID;
        began = true;
    }
    if (std::abs(dx) > deadZone || std::abs(dy) > deadZone)
        m_isDragging = true;
    if (std::abs(dx) > deadZone)
        m_dragOffset = dx;
    return began;
}

std::optional<std::string> DragState::end() {
    std::optional<std::string> pressed = std::move(m_draggingID);
    reset();
    return pressed;
}

void DragState::reset() {
    m_draggingID.reset();
    m_dragOffset = 0;
    m_isDragging = false;
}

long DragState::steps(double dx, double cellWidth) {
    // std::lround rounds halves away from zero.
    return std::lround(dx / cellWidth);
}

DragOutcome DragState::outcome(std::size_t index, std::size_t count, double dx, double dy,
                               double cellWidth) {
    if (std::abs(dx) < 0.35 * cellWidth && std::abs(dy) < 28)
        return {DragOutcome::Kind::activate, static_cast<int>(index), 0};
    const long stepCount = steps(dx, cellWidth);
    if (stepCount == 0)
        return {};
    const long target = static_cast<long>(index) + stepCount + (stepCount > 0 ? 1 : 0);
    long destination = 0;
    if (target < 0) {
        if (index == 0)
            return {};
        destination = 0;
    } else {
        destination = std::min(target, static_cast<long>(count));
        if (destination == static_cast<long>(index))
            return {};
    }
    return {DragOutcome::Kind::reorder, static_cast<int>(index), static_cast<int>(destination)};
}

} // namespace halvo
