// How the overlay's parts look: the frosted surface of the strip and of the name bubble, a cell's
// icon with its highlight dot (lifted and wiggling while it is dragged), and the bubble with the
// app's name, in the dark or light scheme and as the desktop's accessibility settings ask.
#pragma once

#include "minimap/view/OverlayMotionSettings.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <optional>

namespace halvo {

class OverlayPainter {
public:
    // A cell as it is drawn now.
    struct Cell {
        QRectF rect;
        QPixmap icon;
        bool highlighted = false;
        std::optional<double> dragOffset;  // while dragged: how far along the strip
        std::optional<double> wiggleAngle; // while dragged out of the dead zone, with motion
    };

    // How far below the bubble its shadow falls.
    static constexpr double bubbleShadowOffset = 2;
    static QFont bubbleFont();
    // The bubble's outline with its tip `tipX` from its left edge, at the origin.
    static QPainterPath bubbleShape(double width, double tipX);

    OverlayPainter(QPainter& painter, bool dark, const OverlayMotionSettings& motion);

    // Device pixels per unit of the target (a frame of a layer surface may have the output's
    // scale, not the widget's).
    qreal targetRatio() const;
    void surface(const QPainterPath& shape);
    void cell(const Cell& cell);
    void bubble(const QRectF& rect, double tipX, const QString& name);

private:
    QPainter& m_painter;
    bool m_dark;
    const OverlayMotionSettings& m_motion;
};

} // namespace halvo
