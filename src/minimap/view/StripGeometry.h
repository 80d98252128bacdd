// Where the overlay's strip, its viewport and each cell lie in the view, and which cell a point
// is in: MinimapGeometry's figures placed in the widget for its width, the apps, the scroll
// offset and the reorder spring of the moment. Made afresh whenever it is asked, never kept.
#pragma once

#include "core/TrackedApp.h"
#include "minimap/MinimapGeometry.h"
#include "minimap/view/ReorderSpring.h"

#include <QPointF>
#include <QRectF>
#include <cstddef>
#include <optional>
#include <vector>

namespace halvo {

class StripGeometry {
public:
    // The strip's top edge: the name bubble has the room above it.
    static constexpr double stripTop = minimap::viewPadding + minimap::bubbleRoom; // 52

    StripGeometry(double width, const std::vector<TrackedApp>& apps, double scrollOffset,
                  const ReorderSpring& spring);

    const minimap::StripLayout& layout() const { return m_layout; }
    QRectF stripRect() const;
    QRectF viewportRect() const;
    // Cell `index`'s rectangle; `withSpring` adds how far the reorder spring has it displaced.
    QRectF cellRect(std::size_t index, bool withSpring) const;
    // The cell drawn under `point`, within the viewport only.
    std::optional<std::size_t> cellAt(QPointF point) const;

private:
    double m_width;
    const std::vector<TrackedApp>& m_apps;
    double m_scrollOffset;
    const ReorderSpring& m_spring;
    minimap::StripLayout m_layout;
};

} // namespace halvo
