// The XKB protocol header, made usable from C++: it names a structure member `explicit`.
#pragma once

#include <xcb/xcb.h>

// clang warns of any macro named after a keyword; this one is the point.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#include <cstdint>
#include <cstdlib>

namespace halvo::x11 {

// Whether the server has XKB in a version this client can use, and the code of its first event.
struct XkbSupport {
    bool usable = false;
    std::uint8_t firstEvent = 0;
};

// Asks the server to use XKB on this connection (once per connection is enough; again is
// harmless).
inline XkbSupport useXkb(xcb_connection_t* c) {
    XkbSupport support;
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return support;
    support.firstEvent = xkb->first_event;
    auto* use = xcb_xkb_use_extension_reply(
        c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr);
    support.usable = use && use->supported;
    std::free(use);
    return support;
}

} // namespace halvo::x11
