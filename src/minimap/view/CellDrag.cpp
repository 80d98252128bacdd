// Distances count from the press point; whole cells decide a reorder.
#include "minimap/view/CellDrag.h"

#include "minimap/MinimapGeometry.h"

#include <utility>

namespace halvo {

bool CellDrag::press(std::size_t index, const std::string& id, QPointF point) {
    m_index = index;
    m_id = id;
    m_pressPoint = point;
    return m_drag.change(m_id, 0, 0);
}

void CellDrag::move(QPointF point) {
    const QPointF delta = point - m_pressPoint;
    m_drag.change(m_id, delta.x(), delta.y());
}

std::optional<CellDrag::Release> CellDrag::release(QPointF point, std::size_t count) {
    if (!m_index)
        return std::nullopt;
    const QPointF delta = point - m_pressPoint;
    const std::size_t index = *std::exchange(m_index, std::nullopt);
    const std::optional<std::string> pressed = m_drag.end();
    if (!pressed || *pressed != m_id)
        return std::nullopt;
    return Release{*pressed,
                   DragState::outcome(index, count, delta.x(), delta.y(), minimap::cellWidth)};
}

void CellDrag::reset() {
    m_drag.reset();
    m_index.reset();
}

} // namespace halvo
