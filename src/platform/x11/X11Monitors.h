// The monitors as RandR 1.5 reports them (primary first), in root coordinates, and the
// conversions from root coordinates to screen space and window space.
#pragma once

#include "platform/Geometry.h"
#include "platform/x11/X11Connection.h"

#include <string>
#include <vector>
#include <xcb/randr.h>

namespace halvo {

class X11Monitors {
public:
    struct Monitor {
        xcb_atom_t name = XCB_ATOM_NONE;
        Rect rootFrame; // root coordinates: y down from the root's top
        bool primary = false;
    };

    // Sends the request; the reply is read by receive(), so callers can batch it with others.
    static xcb_randr_get_monitors_cookie_t request(X11Connection& connection);
    // Active monitors, primary first, the others in the server's order. Without RandR monitors
    // the whole root window is the one monitor.
    static std::vector<Monitor> receive(X11Connection& connection,
                                        xcb_randr_get_monitors_cookie_t cookie);
    static std::vector<Monitor> read(X11Connection& connection);

    // Root coordinates become window space by moving the primary's top-left to (0, 0).
    static Rect rootToWindowSpace(const Rect& root, const Rect& primaryRoot);
    static Rect windowSpaceToRoot(const Rect& window, const Rect& primaryRoot);
    // Root coordinates become screen space: origin at the primary's bottom-left, y up.
    static Rect rootToScreen(const Rect& root, const Rect& primaryRoot);
    static Point rootToScreen(Point root, const Rect& primaryRoot);
    // A pixel (the pointer's, say) becomes the screen-space point at its centre. Its top-left
    // corner would put a monitor's top row on that monitor's maximum y, which the half-open
    // containment of screen frames leaves out.
    static Point pixelToScreen(int x, int y, const Rect& primaryRoot);
};

} // namespace halvo
