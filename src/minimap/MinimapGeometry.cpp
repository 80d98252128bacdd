// The overlay's geometry and motion formulas.
#include "minimap/MinimapGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace halvo::minimap {

double panelWidth(double visibleWidth, std::size_t appCount) {
    const double wanted =
        std::max(cellWidth * static_cast<double>(appCount) + panelMargin, panelMinWidth);
    return std::min(std::max(visibleWidth - panelMargin, 1.0), wanted);
}

Rect panelFrame(const Rect& visibleFrame, std::size_t appCount) {
    const double width = panelWidth(visibleFrame.width, appCount);
    return {visibleFrame.midX() - width / 2, visibleFrame.maxY() - panelBottomOffset - panelHeight,
            width, panelHeight};
}

StripLayout stripLayout(double panelWidth, std::size_t appCount) {
    StripLayout layout;
    layout.stripWidth = std::max(panelWidth - 2 * viewPadding, 0.0);
    layout.contentWidth = cellWidth * static_cast<double>(appCount) + 2 * contentPadding;
    layout.overflow = layout.contentWidth > layout.stripWidth;
    const double available =
        layout.overflow ? layout.stripWidth - 2 * pagingButtonWidth : layout.stripWidth;
    layout.viewportWidth = std::max(available, 1.0);
    layout.viewportX = layout.overflow ? pagingButtonWidth : 0;
    return layout;
}

double contentOrigin(double contentWidth, double viewportWidth, double scrollOffset) {
    if (contentWidth <= viewportWidth)
        return (viewportWidth - contentWidth) / 2;
    return -clampScrollOffset(scrollOffset, contentWidth, viewportWidth);
}

Span cellSpan(std::size_t index, double contentWidth, double viewportWidth, double scrollOffset) {
    const double minX = contentOrigin(contentWidth, viewportWidth, scrollOffset) + contentPadding +
                        cellWidth * static_cast<double>(index);
    return {minX, minX + cellWidth};
}

double clampScrollOffset(double offset, double contentWidth, double viewportWidth) {
    return std::clamp(offset, 0.0, std::max(contentWidth - viewportWidth, 0.0));
}

double scrollOffsetCentring(std::size_t index, double contentWidth, double viewportWidth) {
    const double cellMid = contentPadding + cellWidth * (static_cast<double>(index) + 0.5);
    return clampScrollOffset(cellMid - viewportWidth / 2, contentWidth, viewportWidth);
}

double scrollOffsetLeading(std::size_t index, double contentWidth, double viewportWidth) {
    const double cellMin = contentPadding + cellWidth * static_cast<double>(index);
    return clampScrollOffset(cellMin, contentWidth, viewportWidth);
}

std::optional<std::size_t> pagingTarget(PagingDirection direction,
                                        const std::vector<std::optional<Span>>& cells,
                                        double viewportWidth) {
    if (viewportWidth <= 0 || cells.empty())
        return std::nullopt;
    if (std::none_of(cells.begin(), cells.end(), [](const auto& c) { return c.has_value(); }))
        return std::nullopt;
    const std::optional<Span>& first = cells.front();
    const std::optional<Span>& last = cells.back();
    if (!first || !last)
        return std::nullopt;
    if (direction == PagingDirection::right && !(last->maxX > viewportWidth + 1))
        return std::nullopt;
    if (direction == PagingDirection::left && !(first->minX < -1))
        return std::nullopt;

    std::size_t firstVisible = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] && cells[i]->maxX > 1 && cells[i]->minX < viewportWidth) {
            firstVisible = i;
            break;
        }
    }
    const double cellCount = std::floor(viewportWidth / std::max(first->maxX - first->minX, 1.0));
    const long step = cellCount >= 2 ? static_cast<long>(cellCount) - 1 : 1;
    const long target = direction == PagingDirection::right
                            ? static_cast<long>(firstVisible) + step
                            : static_cast<long>(firstVisible) - step;
    if (target <= 0)
        return 0;
    return std::min(static_cast<std::size_t>(target), cells.size() - 1);
}

BubblePlacement bubblePlacement(double overlayWidth, double iconMidX, double textWidth) {
    BubblePlacement bubble;
    bubble.width = std::min(std::min(std::max(overlayWidth - 2 * bubbleEdge, 1.0), bubbleMaxWidth),
                            textWidth + 2 * bubbleEdge);
    const double half = bubble.width / 2;
    bubble.centreX =
        std::min(overlayWidth - half - bubbleEdge, std::max(iconMidX, half + bubbleEdge));
    bubble.tipX =
        std::min(bubble.width - bubbleEdge, std::max(bubbleEdge, iconMidX - bubble.centreX + half));
    bubble.visible = iconMidX >= bubbleEdge && iconMidX <= overlayWidth - bubbleEdge;
    return bubble;
}

double springProgress(double seconds, double response, double dampingFraction) {
    if (seconds <= 0)
        return 0;
    const double omega = 2 * std::numbers::pi / response;
    const double zeta = std::clamp(dampingFraction, 0.0, 0.999);
    const double omegaD = omega * std::sqrt(1 - zeta * zeta);
    const double decay = std::exp(-zeta * omega * seconds);
    return 1 - decay * (std::cos(omegaD * seconds) +
                        zeta * omega / omegaD * std::sin(omegaD * seconds));
}

double springSettlingTime(double response, double dampingFraction) {
    const double omega = 2 * std::numbers::pi / response;
    const double zeta = std::clamp(dampingFraction, 0.01, 0.999);
    // The envelope exp(-zeta omega t) / sqrt(1 - zeta^2) falls below 0.001.
    return std::log(1000 / std::sqrt(1 - zeta * zeta)) / (zeta * omega);
}

double wiggleAngle(double seconds) {
    return std::sin(36 * seconds) * 2.4;
}

} // namespace halvo::minimap
