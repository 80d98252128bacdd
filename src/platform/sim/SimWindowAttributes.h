// A simulated window: the state it reports and how it reacts to changes.
#pragma once

#include "platform/Geometry.h"
#include "platform/WindowInfo.h"

namespace halvo {

struct SimWindowAttributes {
    WindowInfo::Kind kind = WindowInfo::Kind::normal;
    bool minimized = false;
    bool main = false;
    bool focused = false;
    bool fullScreen = false;
    bool maximizedHorizontally = false;
    bool maximizedVertically = false;
    Rect frame{100, 100, 800, 600}; // outer frame, layout coordinates
    bool canMove = true;
    bool canResize = true;
    bool canFullScreen = true;
    // Requests that are taken but leave the window as it was (a window manager that constrains
    // or ignores them, for example).
    bool ignoresMoves = false;
    bool ignoresResizes = false;
    bool ignoresFullScreen = false;
};

} // namespace halvo
