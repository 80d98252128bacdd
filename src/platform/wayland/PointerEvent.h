// What the pointer does over a surface that shows an off-screen view, in the surface's logical
// coordinates, whichever way the compositor tells it (wl_pointer, or a shell over D-Bus).
#pragma once

#include <QPointF>

namespace halvo {

struct PointerEvent {
    enum class Kind { enter, leave, motion, press, release };
    Kind kind = Kind::motion;
    QPointF position;                      // surface-local; the last known one for leave
    Qt::MouseButton button = Qt::NoButton; // for press and release
};

} // namespace halvo
