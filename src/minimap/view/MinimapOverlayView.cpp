// The wiring of the model and the pointer to the parts that place, draw, scroll, spring and drag
// the strip, and the name bubble over the hovered cell.
#include "minimap/view/MinimapOverlayView.h"

#include "minimap/view/OverlayAccessibility.h"
#include "minimap/view/OverlayPainter.h"
#include "minimap/view/PagingButton.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace halvo {
namespace {

constexpr int fadeInMs = 120;
constexpr int wiggleIntervalMs = 34; // at most 30 frames a second

std::vector<std::string> idsOf(const std::vector<TrackedApp>& apps) {
    std::vector<std::string> ids;
    for (const TrackedApp& app : apps)
        ids.push_back(app.id);
    return ids;
}

} // namespace

MinimapOverlayView::MinimapOverlayView(MinimapModel& model, MinimapActions actions,
                                       OverlayMotionSettings motion, QWidget* parent)
    : QWidget(parent), m_model(model), m_actions(std::move(actions)), m_motion(motion),
      m_scroller({[this] {
                      updateButtons();
                      update();
                  },
                  [this] {
                      updateButtons();
                      Q_EMIT surfaceChanged();
                  }}),
      m_spring(idsOf(model.apps.get()), [this] { update(); }) {
    installOverlayAccessibility();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::NoFocus);
    m_clock.start();

    m_leftButton = new PagingButton(PagingButton::Side::left, this);
    m_rightButton = new PagingButton(PagingButton::Side::right, this);
    connect(m_leftButton, &QAbstractButton::clicked, this,
            [this] { page(minimap::PagingDirection::left); });
    connect(m_rightButton, &QAbstractButton::clicked, this,
            [this] { page(minimap::PagingDirection::right); });
    m_leftButton->installEventFilter(this);
    m_rightButton->installEventFilter(this);

    connect(&m_fadeAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_opacity = v.toDouble();
        update();
    });
    m_wiggleTimer.setInterval(wiggleIntervalMs);
    connect(&m_wiggleTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));

    m_subscriptions.push_back(m_model.theme.subscribe([this](const auto&) {
        m_leftButton->setDark(isDark());
        m_rightButton->setDark(isDark());
        update();
    }));
    m_subscriptions.push_back(m_model.apps.subscribe([this](const auto&) { appsChanged(); }));
    m_subscriptions.push_back(
        m_model.highlightedBundleID.subscribe([this](const auto&) { highlightChanged(); }));
    m_subscriptions.push_back(
        m_model.isVisible.subscribe([this](const auto&) { visibilityChanged(); }));
    m_subscriptions.push_back(m_model.hoveredBundleID.subscribe([this](const auto&) {
        update();
        Q_EMIT surfaceChanged();
    }));

    m_opacity = m_model.isVisible.get() ? 1 : 0;
    m_leftButton->setDark(isDark());
    m_rightButton->setDark(isDark());
    relayoutChildren();
}

MinimapOverlayView::~MinimapOverlayView() {
    m_subscriptions.clear();
    forgetOverlayCells(this);
}

void MinimapOverlayView::setMotion(OverlayMotionSettings motion) {
    m_motion = motion;
    m_leftButton->setDark(isDark());
    m_rightButton->setDark(isDark());
    updateWiggle();
    update();
}

void MinimapOverlayView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Desktops other than GNOME tell a new colour scheme through the application palette, which
    // "system" follows when the desktop states no preference.
    if (event->type() == QEvent::PaletteChange) {
        m_leftButton->setDark(isDark());
        m_rightButton->setDark(isDark());
        update();
    }
}

void MinimapOverlayView::setBackdrop(QImage backdrop) {
    m_backdrop = std::move(backdrop);
    update();
}

bool MinimapOverlayView::isDark() const {
    switch (m_model.theme.get()) {
    case Theme::dark:
        return true;
    case Theme::light:
        return false;
    case Theme::system:
        break;
    }
    if (m_motion.prefersDark)
        return *m_motion.prefersDark;
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

StripGeometry MinimapOverlayView::geometry() const {
    return {static_cast<double>(width()), m_model.apps.get(), m_scroller.offset(), m_spring};
}

minimap::StripLayout MinimapOverlayView::layout() const {
    return geometry().layout();
}

QRectF MinimapOverlayView::viewportRect() const {
    return geometry().viewportRect();
}

std::optional<QRectF> MinimapOverlayView::cellRect(const std::string& bundleID) const {
    auto index = m_model.indexOf(bundleID);
    if (!index)
        return std::nullopt;
    return geometry().cellRect(*index, false);
}

std::optional<MinimapOverlayView::Bubble> MinimapOverlayView::bubble() const {
    if (!m_model.isVisible.get() || m_cellDrag.state().draggingID())
        return std::nullopt;
    auto index = m_model.indexOf(m_model.hoveredBundleID.get());
    if (!index)
        return std::nullopt;
    const QRectF cell = geometry().cellRect(*index, true);
    const QString name = QString::fromStdString(m_model.apps.get()[*index].name);
    const double textWidth = QFontMetricsF(OverlayPainter::bubbleFont()).horizontalAdvance(name);
    const minimap::BubblePlacement placement =
        minimap::bubblePlacement(width(), cell.center().x(), textWidth);
    if (!placement.visible)
        return std::nullopt;
    const QRectF rect(placement.centreX - placement.width / 2,
                      cell.top() - minimap::bubbleCentreAboveCell - minimap::bubbleHeight / 2,
                      placement.width, minimap::bubbleHeight);
    return Bubble{rect, placement.tipX};
}

std::optional<QRectF> MinimapOverlayView::bubbleRect() const {
    auto shown = bubble();
    if (!shown)
        return std::nullopt;
    return shown->rect;
}

std::optional<QPainterPath> MinimapOverlayView::bubbleShape() const {
    auto shown = bubble();
    if (!shown)
        return std::nullopt;
    return OverlayPainter::bubbleShape(shown->rect.width(), shown->tipX)
        .translated(shown->rect.topLeft());
}

QRegion MinimapOverlayView::surfaceRegion() const {
    QPainterPath strip;
    strip.addRoundedRect(geometry().stripRect(), minimap::stripCornerRadius,
                         minimap::stripCornerRadius);
    QRegion region(strip.toFillPolygon().toPolygon());
    // The bubble's own outline and its shadow below it: without a compositor everything else in
    // the bubble's bounding box would show the captured backdrop as a grey patch.
    if (auto bubble = bubbleShape()) {
        const QPainterPath withShadow =
            bubble->united(bubble->translated(0, OverlayPainter::bubbleShadowOffset));
        region += QRegion(withShadow.toFillPolygon().toPolygon());
    }
    return region;
}

void MinimapOverlayView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_scroller.clamp(layout());
    relayoutChildren();
    centreHighlighted(false);
    Q_EMIT surfaceChanged();
}

void MinimapOverlayView::relayoutChildren() {
    const minimap::StripLayout strip = layout();
    const int buttonY = static_cast<int>(StripGeometry::stripTop +
                                         (minimap::stripHeight - minimap::pagingButtonHeight) / 2);
    const int buttonWidth = static_cast<int>(minimap::pagingButtonWidth);
    const int buttonHeight = static_cast<int>(minimap::pagingButtonHeight);
    m_leftButton->setGeometry(static_cast<int>(minimap::viewPadding), buttonY, buttonWidth,
                              buttonHeight);
    m_rightButton->setGeometry(
        static_cast<int>(minimap::viewPadding + strip.stripWidth - minimap::pagingButtonWidth),
        buttonY, buttonWidth, buttonHeight);
    m_leftButton->setVisible(strip.overflow);
    m_rightButton->setVisible(strip.overflow);
    updateButtons();
}

void MinimapOverlayView::updateButtons() {
    const minimap::StripLayout strip = layout();
    const std::size_t count = m_model.apps->size();
    m_leftButton->setEnabled(
        m_scroller.pageOffset(minimap::PagingDirection::left, strip, count).has_value());
    m_rightButton->setEnabled(
        m_scroller.pageOffset(minimap::PagingDirection::right, strip, count).has_value());
}

void MinimapOverlayView::page(minimap::PagingDirection direction) {
    const auto offset = m_scroller.pageOffset(direction, layout(), m_model.apps->size());
    if (!offset)
        return;
    m_model.hoveredBundleID = std::nullopt;
    m_scroller.page(*offset, m_motion.reduceMotion);
}

void MinimapOverlayView::centreHighlighted(bool animated) {
    auto index = m_model.indexOf(m_model.highlightedBundleID.get());
    if (!index)
        return;
    m_scroller.centre(*index, layout(), animated, m_motion.reduceMotion);
}

void MinimapOverlayView::appsChanged() {
    m_icons.keepOnly(m_model.apps.get());
    if (m_spring.listChanged(idsOf(m_model.apps.get()), !m_motion.reduceMotion))
        centreHighlighted(false);
    m_scroller.clamp(layout());
    relayoutChildren();
    overlayCellsChanged(this);
    update();
    Q_EMIT surfaceChanged();
}

void MinimapOverlayView::highlightChanged() {
    centreHighlighted(m_model.isVisible.get());
    update();
}

void MinimapOverlayView::visibilityChanged() {
    if (m_model.isVisible.get()) {
        centreHighlighted(false);
        if (m_motion.reduceMotion) {
            m_opacity = 1;
        } else if (m_opacity < 1 && m_fadeAnimation.state() != QAbstractAnimation::Running) {
            m_fadeAnimation.setStartValue(0.0);
            m_fadeAnimation.setEndValue(1.0);
            m_fadeAnimation.setDuration(fadeInMs);
            m_fadeAnimation.setEasingCurve(QEasingCurve::OutCubic);
            m_fadeAnimation.start();
        }
    } else {
        m_fadeAnimation.stop();
        m_opacity = 0;
        m_cellDrag.reset();
        m_hoverCell.reset();
        updateWiggle();
    }
    update();
    Q_EMIT surfaceChanged();
}

void MinimapOverlayView::setHovered(const std::optional<std::string>& bundleID) {
    if (bundleID == m_hoverCell)
        return;
    const std::optional<std::string> left = std::exchange(m_hoverCell, bundleID);
    if (left && m_model.hoveredBundleID.get() == left)
        m_model.hoveredBundleID = std::nullopt;
    if (bundleID)
        m_model.hoveredBundleID = bundleID;
}

void MinimapOverlayView::updateWiggle() {
    const bool wanted =
        m_cellDrag.state().isDragging() && !m_motion.reduceMotion && m_model.isVisible.get();
    if (wanted && !m_wiggleTimer.isActive())
        m_wiggleTimer.start();
    else if (!wanted && m_wiggleTimer.isActive())
        m_wiggleTimer.stop();
}

void MinimapOverlayView::activate(const std::string& bundleID) {
    if (m_actions.activate)
        m_actions.activate(bundleID);
}

void MinimapOverlayView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    auto index = geometry().cellAt(event->position());
    if (!index)
        return;
    if (m_cellDrag.press(*index, m_model.apps.get()[*index].id, event->globalPosition()))
        m_model.hoveredBundleID = std::nullopt;
    update();
}

void MinimapOverlayView::mouseMoveEvent(QMouseEvent* event) {
    if (m_cellDrag.isPressed()) {
        m_cellDrag.move(event->globalPosition());
        updateWiggle();
        update();
        return;
    }
    if (!m_model.isVisible.get())
        return;
    auto index = geometry().cellAt(event->position());
    setHovered(index ? std::optional<std::string>(m_model.apps.get()[*index].id) : std::nullopt);
}

void MinimapOverlayView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_cellDrag.isPressed())
        return;
    const auto released = m_cellDrag.release(event->globalPosition(), m_model.apps->size());
    updateWiggle();
    update();
    if (!released)
        return;
    const DragOutcome& outcome = released->outcome;
    if (outcome.kind == DragOutcome::Kind::activate) {
        activate(released->id);
    } else if (outcome.kind == DragOutcome::Kind::reorder && m_actions.reorder) {
        m_actions.reorder(outcome.source, outcome.destination);
    }
}

bool MinimapOverlayView::eventFilter(QObject* watched, QEvent* event) {
    // A paging button is a child: the pointer moving from a cell onto it sends this view neither
    // a move nor a leave, so the cell is left here.
    if (event->type() == QEvent::Enter && (watched == m_leftButton || watched == m_rightButton) &&
        !m_cellDrag.isPressed())
        setHovered(std::nullopt);
    return QWidget::eventFilter(watched, event);
}

void MinimapOverlayView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!m_cellDrag.isPressed())
        setHovered(std::nullopt);
}

void MinimapOverlayView::paintCell(OverlayPainter& painter, std::size_t index,
                                   const TrackedApp& app) {
    OverlayPainter::Cell cell;
    cell.rect = geometry().cellRect(index, true);
    cell.icon = m_icons.icon(app, devicePixelRatioF());
    if (cell.icon.isNull())
        cell.icon = m_icons.initialTile(app, painter.targetRatio());
    cell.highlighted = m_model.highlightedBundleID.get() == app.id;
    const DragState& drag = m_cellDrag.state();
    if (drag.draggingID() == app.id) {
        cell.dragOffset = drag.dragOffset();
        if (drag.isDragging() && !m_motion.reduceMotion)
            cell.wiggleAngle = minimap::wiggleAngle(static_cast<double>(m_clock.elapsed()) / 1000);
    }
    painter.cell(cell);
}

void MinimapOverlayView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_backdrop.isNull()) {
        painter.drawImage(QPointF(0, 0), m_backdrop);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    painter.setOpacity(m_opacity);
    OverlayPainter overlay(painter, isDark(), m_motion);

    const StripGeometry shape = geometry();
    QPainterPath strip;
    strip.addRoundedRect(shape.stripRect(), minimap::stripCornerRadius, minimap::stripCornerRadius);
    overlay.surface(strip);

    painter.save();
    painter.setClipPath(strip);
    const QRectF viewport = shape.viewportRect();
    painter.setClipRect(viewport, Qt::IntersectClip);
    const auto& apps = m_model.apps.get();
    std::optional<std::size_t> draggedIndex;
    for (std::size_t i = 0; i < apps.size(); ++i) {
        if (m_cellDrag.state().draggingID() == apps[i].id) {
            draggedIndex = i;
            continue;
        }
        const QRectF cell = shape.cellRect(i, true);
        if (cell.right() < viewport.left() || cell.left() > viewport.right())
            continue;
        paintCell(overlay, i, apps[i]);
    }
    if (draggedIndex)
        paintCell(overlay, *draggedIndex, apps[*draggedIndex]);
    painter.restore();

    if (const auto shown = bubble()) {
        const auto index = m_model.indexOf(m_model.hoveredBundleID.get());
        overlay.bubble(shown->rect, shown->tipX,
                       QString::fromStdString(m_model.apps.get()[*index].name));
    }
    painter.end();
    if (onPainted)
        onPainted();
}

} // namespace halvo
