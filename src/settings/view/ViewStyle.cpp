// Role-based fonts and colours.
#include "settings/view/ViewStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QSvgRenderer>
#include <QWidget>

namespace halvo {

void ViewStyle::apply(QWidget* widget, Font font, Colour colour) {
    QFont f = font == Font::monospacedBody || font == Font::monospacedCallout
                  ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                  : widget->font();
    const double application = QApplication::font().pointSizeF();
    const double base = application > 0 ? application : 10.0;
    switch (font) {
    case Font::caption:
        f.setPointSizeF(base * 0.85);
        break;
    case Font::callout:
    case Font::monospacedCallout:
        f.setPointSizeF(base * 0.93);
        break;
    case Font::body:
    case Font::monospacedBody:
        f.setPointSizeF(base);
        break;
    }
    // Set, not left to inheritance: the text of a role is never bold, even inside a bold group.
    f.setWeight(font == Font::monospacedBody ? QFont::Medium : QFont::Normal);
    widget->setFont(f);
    if (colour != Colour::primary) {
        QPalette p = widget->palette();
        p.setColor(QPalette::WindowText, ViewStyle::colour(widget, colour));
        p.setColor(QPalette::Text, ViewStyle::colour(widget, colour));
        widget->setPalette(p);
    }
}

QColor ViewStyle::colour(const QWidget* widget, Colour colour) {
    switch (colour) {
    case Colour::secondary: {
        QColor c = widget->palette().color(QPalette::WindowText);
        c.setAlphaF(0.62);
        return c;
    }
    case Colour::orange:
        return QColor(0xC4, 0x62, 0x00);
    case Colour::red:
        return QColor(0xC0, 0x27, 0x2D);
    case Colour::primary:
        break;
    }
    return widget->palette().color(QPalette::WindowText);
}

QPixmap ViewStyle::tintedSymbol(int size, const QColor& colour) {
    QSvgRenderer renderer(QStringLiteral(":/halvo/halvo.svg"));
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), colour);
    return pixmap;
}

QPixmap ViewStyle::warningMark(const QWidget* widget) {
    const int size = widget->fontMetrics().height();
    return widget->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size);
}

} // namespace halvo
