// Fonts and colours by role (caption, callout; secondary, orange, red) shared by the settings
// views, and the program's symbol drawn in a colour.
#pragma once

#include <QColor>
#include <QPixmap>

class QWidget;

namespace halvo {

class ViewStyle {
public:
    enum class Font { body, callout, caption, monospacedBody, monospacedCallout };
    enum class Colour { primary, secondary, orange, red };

    static void apply(QWidget* widget, Font font, Colour colour = Colour::primary);
    static QColor colour(const QWidget* widget, Colour colour);

    // The program's symbol (two overlapping angled rectangles) `size` pixels high in `colour`.
    static QPixmap tintedSymbol(int size, const QColor& colour);
    // A small warning mark for error lines.
    static QPixmap warningMark(const QWidget* widget);
};

} // namespace halvo
