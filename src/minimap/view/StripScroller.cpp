// Scrolls shorter than half a pixel, and every scroll under reduced motion, happen at once.
#include "minimap/view/StripScroller.h"

#include <cmath>

namespace halvo {
namespace {

constexpr int highlightScrollMs = 160;
constexpr int pagingScrollMs = 200;

} // namespace

StripScroller::StripScroller(Handlers handlers) : m_handlers(std::move(handlers)) {
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_offset = v.toDouble();
        m_handlers.moved();
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] { m_handlers.settled(); });
}

std::vector<std::optional<minimap::Span>>
StripScroller::cellSpans(const minimap::StripLayout& strip, std::size_t count) const {
    std::vector<std::optional<minimap::Span>> spans;
    for (std::size_t i = 0; i < count; ++i)
        spans.push_back(minimap::cellSpan(i, strip.contentWidth, strip.viewportWidth, m_offset));
    return spans;
}

void StripScroller::clamp(const minimap::StripLayout& strip) {
    m_offset = minimap::clampScrollOffset(m_offset, strip.contentWidth, strip.viewportWidth);
}

void StripScroller::centre(std::size_t index, const minimap::StripLayout& strip, bool animated,
                           bool reduceMotion) {
    scrollTo(minimap::scrollOffsetCentring(index, strip.contentWidth, strip.viewportWidth),
             animated ? highlightScrollMs : 0, QEasingCurve::OutCubic, reduceMotion);
}

std::optional<double> StripScroller::pageOffset(minimap::PagingDirection direction,
                                                const minimap::StripLayout& strip,
                                                std::size_t count) const {
    const auto target =
        minimap::pagingTarget(direction, cellSpans(strip, count), strip.viewportWidth);
    if (!target)
        return std::nullopt;
    return minimap::scrollOffsetLeading(*target, strip.contentWidth, strip.viewportWidth);
}

void StripScroller::page(double offset, bool reduceMotion) {
    scrollTo(offset, pagingScrollMs, QEasingCurve::InOutCubic, reduceMotion);
}

void StripScroller::scrollTo(double offset, int durationMs, QEasingCurve curve, bool reduceMotion) {
    m_animation.stop();
    if (durationMs <= 0 || reduceMotion || std::abs(offset - m_offset) < 0.5) {
        m_offset = offset;
        m_handlers.moved();
        m_handlers.settled();
        return;
    }
    m_animation.setStartValue(m_offset);
    m_animation.setEndValue(offset);
    m_animation.setDuration(durationMs);
    m_animation.setEasingCurve(curve);
    m_animation.start();
}

} // namespace halvo
