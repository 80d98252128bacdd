// The overlay's content: the rounded strip of app icons in a scrolling viewport, the highlight
// dot, paging buttons, the name bubble, hover, click to activate and drag to reorder. The view
// wires the model and the pointer to its parts: OverlayPainter draws, StripGeometry places the
// strip and hit-tests it, StripScroller scrolls and pages, ReorderSpring animates reorders and
// CellDrag follows presses and drags.
#pragma once

#include "minimap/DragState.h"
#include "minimap/MinimapActions.h"
#include "minimap/MinimapGeometry.h"
#include "minimap/MinimapModel.h"
#include "minimap/view/CellDrag.h"
#include "minimap/view/OverlayIconCache.h"
#include "minimap/view/OverlayMotionSettings.h"
#include "minimap/view/ReorderSpring.h"
#include "minimap/view/StripGeometry.h"
#include "minimap/view/StripScroller.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class OverlayPainter;
class PagingButton;

class MinimapOverlayView final : public QWidget {
    Q_OBJECT
public:
    MinimapOverlayView(MinimapModel& model, MinimapActions actions,
                       OverlayMotionSettings motion = {}, QWidget* parent = nullptr);
    ~MinimapOverlayView() override;

    MinimapModel& model() const { return m_model; }
    const OverlayMotionSettings& motion() const { return m_motion; }
    void setMotion(OverlayMotionSettings motion);

    // What lies behind the panel, already blurred, in this widget's coordinates; a null image when
    // a compositor blends the panel with the desktop itself.
    void setBackdrop(QImage backdrop);

    // The area the overlay draws on: the strip and, while shown, the name bubble. The rest of the
    // panel is clear.
    QRegion surfaceRegion() const;

    // Whether the overlay draws in its dark colour scheme (forced by the theme, or the desktop's).
    bool isDark() const;

    // Geometry in this widget's coordinates, before any drag displacement.
    std::optional<QRectF> cellRect(const std::string& bundleID) const;
    std::optional<QRectF> bubbleRect() const;
    QRectF viewportRect() const;
    double scrollOffset() const { return m_scroller.offset(); }
    const DragState& dragState() const { return m_cellDrag.state(); }
    PagingButton* leftButton() const { return m_leftButton; }
    PagingButton* rightButton() const { return m_rightButton; }
    bool isWiggleRunning() const { return m_wiggleTimer.isActive(); }

    // The accessibility press of a cell: the same as a click.
    void activate(const std::string& bundleID);

    // Called after every paint, for probes that time the first frame.
    std::function<void()> onPainted;

Q_SIGNALS:
    // The surface region changed (the bubble came, moved or went).
    void surfaceChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    StripGeometry geometry() const;
    minimap::StripLayout layout() const;
    // The name bubble over the hovered icon: its rectangle in this widget's coordinates and its
    // tip's x from the rectangle's left edge, both as the overlay's geometry places them.
    struct Bubble {
        QRectF rect;
        double tipX = 0;
    };
    std::optional<Bubble> bubble() const;
    // The bubble's outline with its tip, in this widget's coordinates.
    std::optional<QPainterPath> bubbleShape() const;

    void appsChanged();
    void highlightChanged();
    void visibilityChanged();
    void relayoutChildren();
    void updateButtons();
    void page(minimap::PagingDirection direction);
    void centreHighlighted(bool animated);
    void setHovered(const std::optional<std::string>& bundleID);
    void updateWiggle();

    void paintCell(OverlayPainter& painter, std::size_t index, const TrackedApp& app);

    MinimapModel& m_model;
    MinimapActions m_actions;
    OverlayMotionSettings m_motion;
    std::vector<Subscription> m_subscriptions;

    PagingButton* m_leftButton = nullptr;
    PagingButton* m_rightButton = nullptr;

    StripScroller m_scroller;
    double m_opacity = 0;
    QVariantAnimation m_fadeAnimation;
    ReorderSpring m_spring;

    CellDrag m_cellDrag;
    QTimer m_wiggleTimer;
    QElapsedTimer m_clock;

    std::optional<std::string> m_hoverCell; // the cell the pointer is in, whatever the model says
    OverlayIconCache m_icons;
    QImage m_backdrop;
};

} // namespace halvo
