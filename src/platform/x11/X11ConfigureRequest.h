// Moving and resizing a managed window with a plain ICCCM configure request on the client window,
// for window managers that do not take _NET_MOVERESIZE_WINDOW (awesome lists it nowhere).
#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <vector>
#include <xcb/xcb.h>

namespace halvo {

class X11ConfigureRequest {
public:
    // What the window manager puts around the client: _NET_FRAME_EXTENTS and the client's own
    // border width.
    struct Chrome {
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        std::uint32_t top = 0;
        std::uint32_t bottom = 0;
        std::uint32_t border = 0;
    };
    // The client window's position (its border's outer corner, as ConfigureWindow takes it) and
    // inside size.
    struct Geometry {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::uint32_t width = 1;
        std::uint32_t height = 1;
        bool operator==(const Geometry&) const = default;
    };

    // The request that makes the window's outer frame `frame` (root coordinates). A window
    // manager reads a request's position by the client's win_gravity: the frame's reference
    // point (a corner, an edge's middle, or the centre) goes where the client's would be, and
    // with Static gravity the client itself stays where it asked to be.
    static Geometry forFrame(const Rect& frame, const Chrome& chrome, std::uint32_t gravity);

    // The win_gravity of WM_NORMAL_HINTS (its eighteen 32-bit values); NorthWest when unset.
    static std::uint32_t gravity(const std::vector<std::uint32_t>& normalHints);

    // Sends the request: the position, the size, or both.
    static void send(xcb_connection_t* connection, xcb_window_t window, const Geometry& geometry,
                     bool move, bool resize);
};

} // namespace halvo
