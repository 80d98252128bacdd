// Drawing and texts of the overlay's paging buttons.
#include "minimap/view/PagingButton.h"

#include "platform/Localization.h"

#include <QPainter>
#include <QPainterPath>

namespace halvo {

PagingButton::PagingButton(Side side, QWidget* parent) : QAbstractButton(parent), m_side(side) {
    const std::string text =
        side == Side::left
            ? localized("Show more apps on the left",
                        "Help text and accessibility label of the overlay button that pages left")
            : localized("Show more apps on the right",
                        "Help text and accessibility label of the overlay button that pages right");
    setToolTip(QString::fromStdString(text));
    setAccessibleName(QString::fromStdString(text));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void PagingButton::setDark(bool dark) {
    m_dark = dark;
    update();
}

QSize PagingButton::sizeHint() const {
    return {28, 64};
}

void PagingButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor primary = m_dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
    const QRectF plate(width() / 2.0 - 12, height() / 2.0 - 18, 24, 36);
    if (isEnabled()) {
        QColor fill = primary;
        fill.setAlphaF(isDown() ? 0.12f : 0.05f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(plate, 10, 10);
    }
    QColor ink = primary;
    ink.setAlphaF(isEnabled() ? 0.85f : 0.3f * 0.5f);
    QPen pen(ink, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QPointF centre = plate.center();
    const double dir = m_side == Side::left ? -1 : 1;
    QPainterPath chevron;
    chevron.moveTo(centre + QPointF(-2.5 * dir, -5));
    chevron.lineTo(centre + QPointF(2.5 * dir, 0));
    chevron.lineTo(centre + QPointF(-2.5 * dir, 5));
    painter.drawPath(chevron);
}

} // namespace halvo
