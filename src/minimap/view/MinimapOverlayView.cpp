// Layout, painting, animation and pointer handling of the overlay's icon strip.
#include "minimap/view/MinimapOverlayView.h"

#include "minimap/view/AppInitialTile.h"
#include "minimap/view/OverlayAccessibility.h"
#include "minimap/view/PagingButton.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace halvo {
namespace {

constexpr double stripTop = minimap::viewPadding + minimap::bubbleRoom; // 52
constexpr double cellTop = stripTop + (minimap::stripHeight - minimap::cellHeight) / 2;
constexpr double draggedScale = 1.06;
constexpr int fadeInMs = 120;
constexpr int highlightScrollMs = 160;
constexpr int pagingScrollMs = 200;
constexpr int wiggleIntervalMs = 34; // at most 30 frames a second
constexpr double bubbleShadowOffset = 2;
constexpr double bubbleCornerRadius = 8;
constexpr int bubbleFontPixelSize = 12;

QFont bubbleFont() {
    QFont font = QApplication::font();
    font.setPixelSize(bubbleFontPixelSize);
    font.setWeight(QFont::Medium);
    return font;
}

QColor grey(double level, double alpha = 1.0) {
    QColor colour = QColor::fromRgbF(static_cast<float>(level), static_cast<float>(level),
                                     static_cast<float>(level));
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

QPainterPath nameBubblePath(double width, double tipX) {
    const double body = minimap::bubbleHeight - minimap::bubbleTipHeight;
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, width, body), bubbleCornerRadius, bubbleCornerRadius);
    QPainterPath tip;
    tip.moveTo(tipX - minimap::bubbleTipHalfWidth, body);
    tip.lineTo(tipX, minimap::bubbleHeight);
    tip.lineTo(tipX + minimap::bubbleTipHalfWidth, body);
    tip.closeSubpath();
    return rounded.united(tip);
}

} // namespace

MinimapOverlayView::MinimapOverlayView(MinimapModel& model, MinimapActions actions,
                                       OverlayMotionSettings motion, QWidget* parent)
    : QWidget(parent), m_model(model), m_actions(std::move(actions)), m_motion(motion) {
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

    connect(&m_scrollAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_scroll = v.toDouble();
        updateButtons();
        update();
    });
    connect(&m_scrollAnimation, &QVariantAnimation::finished, this, [this] {
        updateButtons();
        Q_EMIT surfaceChanged();
    });
    connect(&m_fadeAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_opacity = v.toDouble();
        update();
    });
    connect(&m_springAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_springProgress = minimap::springProgress(v.toDouble());
        update();
    });
    connect(&m_springAnimation, &QVariantAnimation::finished, this, [this] {
        m_springProgress = 1;
        m_springFrom.clear();
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

    for (const TrackedApp& app : m_model.apps.get())
        m_lastIDs.push_back(app.id);
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

minimap::StripLayout MinimapOverlayView::layout() const {
    return minimap::stripLayout(width(), m_model.apps->size());
}

QRectF MinimapOverlayView::stripRect() const {
    return {minimap::viewPadding, stripTop, std::max(width() - 2 * minimap::viewPadding, 0.0),
            minimap::stripHeight};
}

QRectF MinimapOverlayView::viewportRect() const {
    const minimap::StripLayout strip = layout();
    return {minimap::viewPadding + strip.viewportX, stripTop, strip.viewportWidth,
            minimap::stripHeight};
}

QRectF MinimapOverlayView::cellRectAt(std::size_t index, bool withSpring) const {
    const minimap::StripLayout strip = layout();
    const minimap::Span span =
        minimap::cellSpan(index, strip.contentWidth, strip.viewportWidth, m_scroll);
    double x = viewportRect().x() + span.minX;
    if (withSpring && !m_springFrom.empty() && index < m_model.apps->size()) {
        auto found = m_springFrom.find(m_model.apps.get()[index].id);
        if (found != m_springFrom.end())
            x += found->second * (1 - m_springProgress);
    }
    return {x, cellTop, minimap::cellWidth, minimap::cellHeight};
}

std::optional<QRectF> MinimapOverlayView::cellRect(const std::string& bundleID) const {
    auto index = m_model.indexOf(bundleID);
    if (!index)
        return std::nullopt;
    return cellRectAt(*index, false);
}

std::vector<std::optional<minimap::Span>> MinimapOverlayView::cellSpans() const {
    const minimap::StripLayout strip = layout();
    std::vector<std::optional<minimap::Span>> spans;
    for (std::size_t i = 0; i < m_model.apps->size(); ++i)
        spans.push_back(minimap::cellSpan(i, strip.contentWidth, strip.viewportWidth, m_scroll));
    return spans;
}

std::optional<std::size_t> MinimapOverlayView::cellIndexAt(QPointF point) const {
    if (!viewportRect().contains(point))
        return std::nullopt;
    for (std::size_t i = 0; i < m_model.apps->size(); ++i) {
        if (cellRectAt(i, true).contains(point))
            return i;
    }
    return std::nullopt;
}

std::optional<MinimapOverlayView::Bubble> MinimapOverlayView::bubble() const {
    if (!m_model.isVisible.get() || m_drag.draggingID())
        return std::nullopt;
    auto index = m_model.indexOf(m_model.hoveredBundleID.get());
    if (!index)
        return std::nullopt;
    const QRectF cell = cellRectAt(*index, true);
    const QString name = QString::fromStdString(m_model.apps.get()[*index].name);
    const double textWidth = QFontMetricsF(bubbleFont()).horizontalAdvance(name);
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
    return nameBubblePath(shown->rect.width(), shown->tipX).translated(shown->rect.topLeft());
}

QRegion MinimapOverlayView::surfaceRegion() const {
    QPainterPath strip;
    strip.addRoundedRect(stripRect(), minimap::stripCornerRadius, minimap::stripCornerRadius);
    QRegion region(strip.toFillPolygon().toPolygon());
    // The bubble's own outline and its shadow below it: without a compositor everything else in
    // the bubble's bounding box would show the captured backdrop as a grey patch.
    if (auto bubble = bubbleShape()) {
        const QPainterPath withShadow = bubble->united(bubble->translated(0, bubbleShadowOffset));
        region += QRegion(withShadow.toFillPolygon().toPolygon());
    }
    return region;
}

void MinimapOverlayView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const minimap::StripLayout strip = layout();
    m_scroll = minimap::clampScrollOffset(m_scroll, strip.contentWidth, strip.viewportWidth);
    relayoutChildren();
    centreHighlighted(false);
    Q_EMIT surfaceChanged();
}

void MinimapOverlayView::relayoutChildren() {
    const minimap::StripLayout strip = layout();
    const int buttonY =
        static_cast<int>(stripTop + (minimap::stripHeight - minimap::pagingButtonHeight) / 2);
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
    const double viewport = layout().viewportWidth;
    const auto spans = cellSpans();
    m_leftButton->setEnabled(
        minimap::pagingTarget(minimap::PagingDirection::left, spans, viewport).has_value());
    m_rightButton->setEnabled(
        minimap::pagingTarget(minimap::PagingDirection::right, spans, viewport).has_value());
}

void MinimapOverlayView::page(minimap::PagingDirection direction) {
    const minimap::StripLayout strip = layout();
    auto target = minimap::pagingTarget(direction, cellSpans(), strip.viewportWidth);
    if (!target)
        return;
    m_model.hoveredBundleID = std::nullopt;
    scrollTo(minimap::scrollOffsetLeading(*target, strip.contentWidth, strip.viewportWidth),
             pagingScrollMs, QEasingCurve::InOutCubic);
}

void MinimapOverlayView::scrollTo(double offset, int durationMs, QEasingCurve curve) {
    m_scrollAnimation.stop();
    if (durationMs <= 0 || m_motion.reduceMotion || std::abs(offset - m_scroll) < 0.5) {
        m_scroll = offset;
        updateButtons();
        update();
        Q_EMIT surfaceChanged();
        return;
    }
    m_scrollAnimation.setStartValue(m_scroll);
    m_scrollAnimation.setEndValue(offset);
    m_scrollAnimation.setDuration(durationMs);
    m_scrollAnimation.setEasingCurve(curve);
    m_scrollAnimation.start();
}

void MinimapOverlayView::centreHighlighted(bool animated) {
    auto index = m_model.indexOf(m_model.highlightedBundleID.get());
    if (!index)
        return;
    const minimap::StripLayout strip = layout();
    scrollTo(minimap::scrollOffsetCentring(*index, strip.contentWidth, strip.viewportWidth),
             animated ? highlightScrollMs : 0, QEasingCurve::OutCubic);
}

void MinimapOverlayView::appsChanged() {
    std::vector<std::string> ids;
    for (const TrackedApp& app : m_model.apps.get())
        ids.push_back(app.id);

    // Keep only the icons still in use.
    QHash<const AppIcon*, QPixmap> kept;
    for (const TrackedApp& app : m_model.apps.get()) {
        if (app.icon && m_icons.contains(app.icon.get()))
            kept.insert(app.icon.get(), m_icons.value(app.icon.get()));
    }
    m_icons.swap(kept);
    QHash<QString, QPixmap> keptTiles;
    for (const TrackedApp& app : m_model.apps.get()) {
        const QString name = QString::fromStdString(app.name);
        if (const auto found = m_initialTiles.find(name); found != m_initialTiles.end())
            keptTiles.insert(name, *found);
    }
    m_initialTiles.swap(keptTiles);

    if (ids != m_lastIDs) {
        if (!m_motion.reduceMotion && !m_lastIDs.empty()) {
            std::map<std::string, double> from;
            for (std::size_t i = 0; i < ids.size(); ++i) {
                auto old = std::find(m_lastIDs.begin(), m_lastIDs.end(), ids[i]);
                if (old == m_lastIDs.end())
                    continue;
                double displacement =
                    (static_cast<double>(old - m_lastIDs.begin()) - static_cast<double>(i)) *
                    minimap::cellWidth;
                if (auto running = m_springFrom.find(ids[i]); running != m_springFrom.end())
                    displacement += running->second * (1 - m_springProgress);
                if (std::abs(displacement) > 0.5)
                    from.emplace(ids[i], displacement);
            }
            m_springAnimation.stop();
            m_springFrom = std::move(from);
            if (!m_springFrom.empty()) {
                m_springProgress = 0;
                m_springAnimation.setStartValue(0.0);
                m_springAnimation.setEndValue(minimap::springSettlingTime());
                m_springAnimation.setDuration(
                    static_cast<int>(std::lround(minimap::springSettlingTime() * 1000)));
                m_springAnimation.start();
            }
        }
        m_lastIDs = std::move(ids);
        centreHighlighted(false);
    }
    const minimap::StripLayout strip = layout();
    m_scroll = minimap::clampScrollOffset(m_scroll, strip.contentWidth, strip.viewportWidth);
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
        m_drag.reset();
        m_pressedIndex.reset();
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
    const bool wanted = m_drag.isDragging() && !m_motion.reduceMotion && m_model.isVisible.get();
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
    auto index = cellIndexAt(event->position());
    if (!index)
        return;
    m_pressedIndex = index;
    m_pressedID = m_model.apps.get()[*index].id;
    m_pressPoint = event->globalPosition();
    if (m_drag.change(m_pressedID, 0, 0))
        m_model.hoveredBundleID = std::nullopt;
    update();
}

void MinimapOverlayView::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressedIndex) {
        const QPointF delta = event->globalPosition() - m_pressPoint;
        m_drag.change(m_pressedID, delta.x(), delta.y());
        updateWiggle();
        update();
        return;
    }
    if (!m_model.isVisible.get())
        return;
    auto index = cellIndexAt(event->position());
    setHovered(index ? std::optional<std::string>(m_model.apps.get()[*index].id) : std::nullopt);
}

void MinimapOverlayView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressedIndex)
        return;
    const QPointF delta = event->globalPosition() - m_pressPoint;
    const std::size_t index = *std::exchange(m_pressedIndex, std::nullopt);
    const std::optional<std::string> pressed = m_drag.end();
    updateWiggle();
    update();
    if (!pressed || *pressed != m_pressedID)
        return;
    const DragOutcome outcome =
        DragState::outcome(index, m_model.apps->size(), delta.x(), delta.y(), minimap::cellWidth);
    if (outcome.kind == DragOutcome::Kind::activate) {
        activate(*pressed);
    } else if (outcome.kind == DragOutcome::Kind::reorder && m_actions.reorder) {
        m_actions.reorder(outcome.source, outcome.destination);
    }
}

bool MinimapOverlayView::eventFilter(QObject* watched, QEvent* event) {
    // A paging button is a child: the pointer moving from a cell onto it sends this view neither
    // a move nor a leave, so the cell is left here.
    if (event->type() == QEvent::Enter && (watched == m_leftButton || watched == m_rightButton) &&
        !m_pressedIndex)
        setHovered(std::nullopt);
    return QWidget::eventFilter(watched, event);
}

void MinimapOverlayView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!m_pressedIndex)
        setHovered(std::nullopt);
}

QPixmap MinimapOverlayView::iconFor(const TrackedApp& app) {
    if (!app.icon)
        return {};
    if (auto found = m_icons.find(app.icon.get()); found != m_icons.end())
        return *found;
    const qreal ratio = devicePixelRatioF();
    const int side = static_cast<int>(std::lround(minimap::iconSize * ratio));
    QPixmap pixmap;
    if (!app.icon->themeName.empty()) {
        // Desktop entries may name an icon file instead of a theme icon.
        const QString name = QString::fromStdString(app.icon->themeName);
        const QIcon icon = name.startsWith(QLatin1Char('/')) ? QIcon(name) : QIcon::fromTheme(name);
        pixmap = icon.pixmap(QSize(side, side));
    } else if (app.icon->width > 0 && app.icon->height > 0 &&
               app.icon->pixels.size() >= static_cast<std::size_t>(app.icon->width) *
                                              static_cast<std::size_t>(app.icon->height)) {
        const QImage image(reinterpret_cast<const uchar*>(app.icon->pixels.data()), app.icon->width,
                           app.icon->height, app.icon->width * 4, QImage::Format_ARGB32);
        pixmap = QPixmap::fromImage(
            image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    if (!pixmap.isNull())
        pixmap.setDevicePixelRatio(ratio);
    m_icons.insert(app.icon.get(), pixmap);
    return pixmap;
}

void MinimapOverlayView::paintSurface(QPainter& painter, const QPainterPath& shape) const {
    const bool dark = isDark();
    const double level = dark ? 0.22 : 0.84;
    painter.save();
    painter.setClipPath(shape, Qt::IntersectClip);
    painter.setPen(Qt::NoPen);
    if (m_motion.reduceTransparency) {
        painter.fillPath(shape, grey(level));
        painter.restore();
        return;
    }
    painter.fillPath(shape, grey(level, m_motion.increasedContrast ? 0.85 : 0.58));
    const QRectF bounds = shape.boundingRect();
    QLinearGradient sheen(bounds.topLeft(), bounds.bottomLeft());
    sheen.setColorAt(0, QColor::fromRgbF(1, 1, 1, dark ? 0.05f : 0.12f));
    sheen.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
    painter.fillPath(shape, sheen);
    painter.restore();
}

void MinimapOverlayView::paintCell(QPainter& painter, std::size_t index, const TrackedApp& app) {
    const QRectF cell = cellRectAt(index, true);
    const bool dragged = m_drag.draggingID() == app.id;
    const QRectF iconRect(cell.x() + (minimap::cellWidth - minimap::iconSize) / 2,
                          cell.y() + (minimap::iconBoxHeight - minimap::iconSize) / 2,
                          minimap::iconSize, minimap::iconSize);
    painter.save();
    if (dragged) {
        painter.translate(m_drag.dragOffset(), 0);
        const QPointF centre = cell.center();
        painter.translate(centre);
        if (!m_motion.reduceMotion)
            painter.scale(draggedScale, draggedScale);
        if (m_drag.isDragging() && !m_motion.reduceMotion)
            painter.rotate(minimap::wiggleAngle(static_cast<double>(m_clock.elapsed()) / 1000));
        painter.translate(-centre);
    }
    const QPixmap icon = iconFor(app);
    // The target's own pixel ratio (a frame of a layer surface may have the output's scale,
    // not the widget's).
    const QPixmap shown =
        !icon.isNull()
            ? icon
            : initialTileFor(app, painter.paintEngine()->paintDevice()->devicePixelRatioF());
    painter.drawPixmap(iconRect, shown, QRectF(QPointF(0, 0), shown.size()));
    painter.restore();
    if (m_model.highlightedBundleID.get() == app.id) {
        const QPointF dot(cell.center().x() + (dragged ? m_drag.dragOffset() : 0),
                          cell.y() + minimap::iconBoxHeight + minimap::cellSpacing +
                              minimap::dotSize / 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(isDark() ? QColor(10, 132, 255) : QColor(0, 122, 255));
        painter.drawEllipse(dot, minimap::dotSize / 2, minimap::dotSize / 2);
    }
}

QPixmap MinimapOverlayView::initialTileFor(const TrackedApp& app, qreal ratio) {
    // The letter's text layout was most of a frame's time with many icon-less applications.
    if (ratio != m_initialTilesRatio) {
        m_initialTiles.clear();
        m_initialTilesRatio = ratio;
    }
    const QString name = QString::fromStdString(app.name);
    if (const auto found = m_initialTiles.find(name); found != m_initialTiles.end())
        return *found;
    const int side = static_cast<int>(std::lround(minimap::iconSize * ratio));
    QPixmap tile(side, side);
    tile.setDevicePixelRatio(ratio);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    AppInitialTile::paint(painter, QRectF(0, 0, minimap::iconSize, minimap::iconSize), name);
    painter.end();
    m_initialTiles.insert(name, tile);
    return tile;
}

void MinimapOverlayView::paintBubble(QPainter& painter) {
    auto shown = bubble();
    if (!shown)
        return;
    const QRectF& rect = shown->rect;
    auto index = m_model.indexOf(m_model.hoveredBundleID.get());
    painter.save();
    painter.translate(rect.topLeft());
    const QPainterPath shape = nameBubblePath(rect.width(), shown->tipX);
    painter.fillPath(shape.translated(0, bubbleShadowOffset), QColor::fromRgbF(0, 0, 0, 0.14f));
    paintSurface(painter, shape);
    painter.setFont(bubbleFont());
    painter.setPen(isDark() ? QColor::fromRgbF(1, 1, 1, 0.92f) : QColor::fromRgbF(0, 0, 0, 0.85f));
    const QRectF textRect(minimap::bubbleEdge, 0, rect.width() - 2 * minimap::bubbleEdge,
                          minimap::bubbleHeight - minimap::bubbleTipHeight);
    const QString name = QString::fromStdString(m_model.apps.get()[*index].name);
    painter.drawText(
        textRect, Qt::AlignCenter,
        QFontMetricsF(bubbleFont()).elidedText(name, Qt::ElideRight, textRect.width()));
    painter.restore();
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

    QPainterPath strip;
    strip.addRoundedRect(stripRect(), minimap::stripCornerRadius, minimap::stripCornerRadius);
    paintSurface(painter, strip);

    painter.save();
    painter.setClipPath(strip);
    painter.setClipRect(viewportRect(), Qt::IntersectClip);
    const auto& apps = m_model.apps.get();
    std::optional<std::size_t> draggedIndex;
    for (std::size_t i = 0; i < apps.size(); ++i) {
        if (m_drag.draggingID() == apps[i].id) {
            draggedIndex = i;
            continue;
        }
        const QRectF cell = cellRectAt(i, true);
        if (cell.right() < viewportRect().left() || cell.left() > viewportRect().right())
            continue;
        paintCell(painter, i, apps[i]);
    }
    if (draggedIndex)
        paintCell(painter, *draggedIndex, apps[*draggedIndex]);
    painter.restore();

    paintBubble(painter);
    painter.end();
    if (onPainted)
        onPainted();
}

} // namespace halvo
