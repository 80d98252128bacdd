// The tile that stands in for an app without an icon: the initial of its name on a colour taken
// from the name, so that an app looks the same every time and two apps rarely alike.
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace halvo {

class AppInitialTile {
public:
    // A saturated colour from a hash of the name that does not change between runs (Qt's own
    // hash is seeded per process).
    static QColor colour(const QString& name);
    // The first letter or digit of the name, upper case; "?" when it has none.
    static QString initial(const QString& name);
    // Draws the tile filling `rect` (the icon's square).
    static void paint(QPainter& painter, const QRectF& rect, const QString& name);
};

} // namespace halvo
