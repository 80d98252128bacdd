// Client geometry for a wanted frame under each win_gravity, and the request that asks for it.
#include "platform/x11/X11ConfigureRequest.h"

#include <algorithm>
#include <cmath>

namespace halvo {
namespace {

constexpr std::uint32_t winGravityHint = 1u << 9; // PWinGravity in WM_NORMAL_HINTS flags

// Where the client's outer edge goes along one axis: frame start `start`, frame length `length`,
// client length with borders `client`, decoration before the client `before`. `place` is 0 for
// the near edge, 1 for the middle, 2 for the far edge, 3 for Static.
double clientStart(double start, double length, double client, double before, int place) {
    switch (place) {
    case 0:
        return start;
    case 1:
        return start + (length - client) / 2;
    case 2:
        return start + length - client;
    default:
        return start + before;
    }
}

} // namespace

X11ConfigureRequest::Geometry X11ConfigureRequest::forFrame(const Rect& frame, const Chrome& chrome,
                                                            std::uint32_t gravity) {
    const double width =
        std::max(1.0, std::round(frame.width - chrome.left - chrome.right - 2.0 * chrome.border));
    const double height =
        std::max(1.0, std::round(frame.height - chrome.top - chrome.bottom - 2.0 * chrome.border));
    const double outerWidth = width + 2.0 * chrome.border;
    const double outerHeight = height + 2.0 * chrome.border;
    // Gravities 1..9 run NorthWest, North, NorthEast, West, Center, East, SouthWest, South,
    // SouthEast; 10 is Static. Anything else reads as NorthWest.
    int column = 0;
    int row = 0;
    if (gravity == XCB_GRAVITY_STATIC) {
        column = row = 3;
    } else if (gravity >= XCB_GRAVITY_NORTH_WEST && gravity <= XCB_GRAVITY_SOUTH_EAST) {
        column = static_cast<int>(gravity - 1) % 3;
        row = static_cast<int>(gravity - 1) / 3;
    }
    Geometry result;
    result.x = static_cast<std::int32_t>(
        std::lround(clientStart(frame.x, frame.width, outerWidth, chrome.left, column)));
    result.y = static_cast<std::int32_t>(
        std::lround(clientStart(frame.y, frame.height, outerHeight, chrome.top, row)));
    result.width = static_cast<std::uint32_t>(width);
    result.height = static_cast<std::uint32_t>(height);
    return result;
}

std::uint32_t X11ConfigureRequest::gravity(const std::vector<std::uint32_t>& normalHints) {
    if (normalHints.size() < 18 || !(normalHints[0] & winGravityHint))
        return XCB_GRAVITY_NORTH_WEST;
    return normalHints[17];
}

void X11ConfigureRequest::send(xcb_connection_t* connection, xcb_window_t window,
                               const Geometry& geometry, bool move, bool resize) {
    std::uint16_t mask = 0;
    std::uint32_t values[4];
    std::size_t count = 0;
    if (move) {
        mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
        values[count++] = static_cast<std::uint32_t>(geometry.x);
        values[count++] = static_cast<std::uint32_t>(geometry.y);
    }
    if (resize) {
        mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
        values[count++] = geometry.width;
        values[count++] = geometry.height;
    }
    if (mask == 0)
        return;
    // Checked, so an error for a window that is already gone never reaches the event queue.
    const auto cookie = xcb_configure_window_checked(connection, window, mask, values);
    xcb_discard_reply(connection, cookie.sequence);
    xcb_flush(connection);
}

} // namespace halvo
