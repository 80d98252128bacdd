// The strip's scroll offset and how it moves: at once, or animated when the highlight moves to a
// cell out of view or a paging button is clicked.
#pragma once

#include "minimap/MinimapGeometry.h"

#include <QEasingCurve>
#include <QObject>
#include <QVariantAnimation>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace halvo {

class StripScroller final : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void()> moved;   // the offset changed (each step of an animation)
        std::function<void()> settled; // the offset reached where it was going
    };
    explicit StripScroller(Handlers handlers);

    double offset() const { return m_offset; }
    // The span of each of `count` cells inside the viewport at the current offset.
    std::vector<std::optional<minimap::Span>> cellSpans(const minimap::StripLayout& strip,
                                                        std::size_t count) const;

    // Keeps the offset inside the content after the strip or the list changed, at once and
    // without telling.
    void clamp(const minimap::StripLayout& strip);
    // Centres cell `index`, animated or at once.
    void centre(std::size_t index, const minimap::StripLayout& strip, bool animated,
                bool reduceMotion);
    // Where paging in `direction` scrolls to; nothing when no cell lies beyond that edge.
    std::optional<double> pageOffset(minimap::PagingDirection direction,
                                     const minimap::StripLayout& strip, std::size_t count) const;
    // Scrolls to `offset`, as a paging button does.
    void page(double offset, bool reduceMotion);

private:
    void scrollTo(double offset, int durationMs, QEasingCurve curve, bool reduceMotion);

    Handlers m_handlers;
    double m_offset = 0;
    QVariantAnimation m_animation;
};

} // namespace halvo
