// XInput 2.2 raw key events on the root window, seen whichever client has the focus or a grab.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <xcb/xinput.h>

namespace halvo::x11 {

// Selects raw key presses and releases on `root`; returns the XInput opcode, 0 when the server
// has no XInput 2.2. X keeps one XInput2 selection per client and window, so every user of a
// connection selects the same two (a second call changes nothing).
inline std::uint8_t selectRawKeys(xcb_connection_t* c, xcb_window_t root) {
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(c, &xcb_input_id);
    if (!xinput || !xinput->present)
        return 0;
    auto* version =
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr);
    const bool usable = version && (version->major_version > 2 ||
                                    (version->major_version == 2 && version->minor_version >= 2));
    free(version);
    if (!usable)
        return 0;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{};
    mask.head.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.head.mask_len = 1;
    mask.bits = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    xcb_input_xi_select_events(c, root, 1, &mask.head);
    return xinput->major_opcode;
}

} // namespace halvo::x11
