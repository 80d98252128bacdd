// The monitors as RandR 1.5 reports them (primary first), in root coordinates: the desktop's
// layout coordinates on X11.
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
};

} // namespace halvo
