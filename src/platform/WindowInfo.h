// One window of an application as the desktop reports it in a single read: its kind, its frame,
// its states and what may be changed.
#pragma once

#include "platform/Geometry.h"

#include <cstdint>

namespace halvo {

using WindowID = std::uint64_t;

struct WindowInfo {
    enum class Kind {
        normal,
        dialog,
        desktop, // part of the desktop (a desktop or a dock): never raised, moved or put in full
                 // screen
        other,   // a utility, toolbar, splash... window: a window all the same
    };

    WindowID id = 0;
    Kind kind = Kind::normal;
    // The outer frame, decorations included, in the desktop's layout coordinates (see
    // Geometry.h), as the screens' frames: y down, in logical pixels.
    Rect frame{};
    bool minimized = false;
    bool fullScreen = false;
    bool maximizedHorizontally = false;
    bool maximizedVertically = false;
    bool canMove = false;
    bool canResize = false;
    bool canFullScreen = false;

    bool operator==(const WindowInfo&) const = default;
};

} // namespace halvo
