// RandR monitors, primary first.
#include "platform/x11/X11Monitors.h"

#include <algorithm>
#include <cstdlib>

namespace halvo {

xcb_randr_get_monitors_cookie_t X11Monitors::request(X11Connection& connection) {
    return xcb_randr_get_monitors(connection.xcb(), connection.root(), 1);
}

std::vector<X11Monitors::Monitor> X11Monitors::receive(X11Connection& connection,
                                                       xcb_randr_get_monitors_cookie_t cookie) {
    std::vector<Monitor> monitors;
    xcb_generic_error_t* error = nullptr;
    xcb_randr_get_monitors_reply_t* reply =
        xcb_randr_get_monitors_reply(connection.xcb(), cookie, &error);
    free(error);
    if (reply) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t& info = *it.data;
            if (info.width == 0 || info.height == 0)
                continue;
            monitors.push_back(
                {info.name,
                 Rect{double(info.x), double(info.y), double(info.width), double(info.height)},
                 info.primary != 0});
        }
        free(reply);
    }
    if (monitors.empty()) {
        const xcb_screen_t* screen = connection.screen();
        monitors.push_back(
            {XCB_ATOM_NONE,
             Rect{0, 0, double(screen->width_in_pixels), double(screen->height_in_pixels)}, true});
    }
    // Primary first; without a primary the first monitor stands in for it.
    std::stable_partition(monitors.begin(), monitors.end(),
                          [](const Monitor& monitor) { return monitor.primary; });
    return monitors;
}

std::vector<X11Monitors::Monitor> X11Monitors::read(X11Connection& connection) {
    return receive(connection, request(connection));
}

} // namespace halvo
