// Cells are tested as they are drawn, spring displacement included, so that a click lands on
// the icon under the pointer while the cells still move.
#include "minimap/view/StripGeometry.h"

#include <algorithm>

namespace halvo {
namespace {

constexpr double cellTop =
    StripGeometry::stripTop + (minimap::stripHeight - minimap::cellHeight) / 2;

} // namespace

StripGeometry::StripGeometry(double width, const std::vector<TrackedApp>& apps, double scrollOffset,
                             const ReorderSpring& spring)
    : m_width(width), m_apps(apps), m_scrollOffset(scrollOffset), m_spring(spring),
      m_layout(minimap::stripLayout(width, apps.size())) {}

QRectF StripGeometry::stripRect() const {
    return {minimap::viewPadding, stripTop, std::max(m_width - 2 * minimap::viewPadding, 0.0),
            minimap::stripHeight};
}

QRectF StripGeometry::viewportRect() const {
    return {minimap::viewPadding + m_layout.viewportX, stripTop, m_layout.viewportWidth,
            minimap::stripHeight};
}

QRectF StripGeometry::cellRect(std::size_t index, bool withSpring) const {
    const minimap::Span span =
        minimap::cellSpan(index, m_layout.contentWidth, m_layout.viewportWidth, m_scrollOffset);
    double x = viewportRect().x() + span.minX;
    if (withSpring && index < m_apps.size())
        x += m_spring.offset(m_apps[index].id);
    return {x, cellTop, minimap::cellWidth, minimap::cellHeight};
}

std::optional<std::size_t> StripGeometry::cellAt(QPointF point) const {
    if (!viewportRect().contains(point))
        return std::nullopt;
    for (std::size_t i = 0; i < m_apps.size(); ++i) {
        if (cellRect(i, true).contains(point))
            return i;
    }
    return std::nullopt;
}

} // namespace halvo
