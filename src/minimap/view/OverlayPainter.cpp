// Colours are greys with alpha over the backdrop, flat under reduced transparency.
#include "minimap/view/OverlayPainter.h"

#include "minimap/MinimapGeometry.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintEngine>

namespace halvo {
namespace {

constexpr double draggedScale = 1.06;
constexpr double bubbleCornerRadius = 8;
constexpr int bubbleFontPixelSize = 12;

QColor grey(double level, double alpha = 1.0) {
    QColor colour = QColor::fromRgbF(static_cast<float>(level), static_cast<float>(level),
                                     static_cast<float>(level));
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

} // namespace

QFont OverlayPainter::bubbleFont() {
    QFont font = QApplication::font();
    font.setPixelSize(bubbleFontPixelSize);
    font.setWeight(QFont::Medium);
    return font;
}

QPainterPath OverlayPainter::bubbleShape(double width, double tipX) {
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

OverlayPainter::OverlayPainter(QPainter& painter, bool dark, const OverlayMotionSettings& motion)
    : m_painter(painter), m_dark(dark), m_motion(motion) {}

qreal OverlayPainter::targetRatio() const {
    return m_painter.paintEngine()->paintDevice()->devicePixelRatioF();
}

void OverlayPainter::surface(const QPainterPath& shape) {
    const double level = m_dark ? 0.22 : 0.84;
    m_painter.save();
    m_painter.setClipPath(shape, Qt::IntersectClip);
    m_painter.setPen(Qt::NoPen);
    if (m_motion.reduceTransparency) {
        m_painter.fillPath(shape, grey(level));
        m_painter.restore();
        return;
    }
    m_painter.fillPath(shape, grey(level, m_motion.increasedContrast ? 0.85 : 0.58));
    const QRectF bounds = shape.boundingRect();
    QLinearGradient sheen(bounds.topLeft(), bounds.bottomLeft());
    sheen.setColorAt(0, QColor::fromRgbF(1, 1, 1, m_dark ? 0.05f : 0.12f));
    sheen.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0));
    m_painter.fillPath(shape, sheen);
    m_painter.restore();
}

void OverlayPainter::cell(const Cell& cell) {
    const QRectF& rect = cell.rect;
    const QRectF iconRect(rect.x() + (minimap::cellWidth - minimap::iconSize) / 2,
                          rect.y() + (minimap::iconBoxHeight - minimap::iconSize) / 2,
                          minimap::iconSize, minimap::iconSize);
    m_painter.save();
    if (cell.dragOffset) {
        m_painter.translate(*cell.dragOffset, 0);
        const QPointF centre = rect.center();
        m_painter.translate(centre);
        if (!m_motion.reduceMotion)
            m_painter.scale(draggedScale, draggedScale);
        if (cell.wiggleAngle)
            m_painter.rotate(*cell.wiggleAngle);
        m_painter.translate(-centre);
    }
    m_painter.drawPixmap(iconRect, cell.icon, QRectF(QPointF(0, 0), cell.icon.size()));
    m_painter.restore();
    if (cell.highlighted) {
        const QPointF dot(rect.center().x() + cell.dragOffset.value_or(0),
                          rect.y() + minimap::iconBoxHeight + minimap::cellSpacing +
                              minimap::dotSize / 2);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(m_dark ? QColor(10, 132, 255) : QColor(0, 122, 255));
        m_painter.drawEllipse(dot, minimap::dotSize / 2, minimap::dotSize / 2);
    }
}

void OverlayPainter::bubble(const QRectF& rect, double tipX, const QString& name) {
    m_painter.save();
    m_painter.translate(rect.topLeft());
    const QPainterPath shape = bubbleShape(rect.width(), tipX);
    m_painter.fillPath(shape.translated(0, bubbleShadowOffset), QColor::fromRgbF(0, 0, 0, 0.14f));
    surface(shape);
    m_painter.setFont(bubbleFont());
    m_painter.setPen(m_dark ? QColor::fromRgbF(1, 1, 1, 0.92f) : QColor::fromRgbF(0, 0, 0, 0.85f));
    const QRectF textRect(minimap::bubbleEdge, 0, rect.width() - 2 * minimap::bubbleEdge,
                          minimap::bubbleHeight - minimap::bubbleTipHeight);
    m_painter.drawText(
        textRect, Qt::AlignCenter,
        QFontMetricsF(bubbleFont()).elidedText(name, Qt::ElideRight, textRect.width()));
    m_painter.restore();
}

} // namespace halvo
