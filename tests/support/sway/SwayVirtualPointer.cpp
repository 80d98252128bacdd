// A virtual pointer: absolute motion over the whole layout, the left button, a frame after each.
#include "support/sway/SwayVirtualPointer.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

namespace halvo::test {

SwayVirtualPointer::SwayVirtualPointer(const std::string& waylandDisplay, int layoutWidth,
                                       int layoutHeight)
    : m_client(waylandDisplay, zwlr_virtual_pointer_manager_v1_interface, "virtual pointers"),
      m_manager(static_cast<zwlr_virtual_pointer_manager_v1*>(m_client.manager())),
      m_width(layoutWidth), m_height(layoutHeight) {
    if (!m_client.ok())
        return;
    m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(m_manager, m_client.seat());
    m_client.roundtrip();
}

SwayVirtualPointer::~SwayVirtualPointer() {
    if (m_pointer)
        zwlr_virtual_pointer_v1_destroy(m_pointer);
    if (m_manager)
        zwlr_virtual_pointer_manager_v1_destroy(m_manager);
}

bool SwayVirtualPointer::moveTo(int x, int y) {
    if (!ok())
        return false;
    zwlr_virtual_pointer_v1_motion_absolute(
        m_pointer, SwaySeatClient::milliseconds(), static_cast<uint32_t>(x),
        static_cast<uint32_t>(y), static_cast<uint32_t>(m_width), static_cast<uint32_t>(m_height));
    zwlr_virtual_pointer_v1_frame(m_pointer);
    return m_client.roundtrip();
}

bool SwayVirtualPointer::button(bool down) {
    if (!ok())
        return false;
    zwlr_virtual_pointer_v1_button(m_pointer, SwaySeatClient::milliseconds(), BTN_LEFT,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED
                                        : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    return m_client.roundtrip();
}

bool SwayVirtualPointer::press() {
    return button(true);
}

bool SwayVirtualPointer::release() {
    return button(false);
}

} // namespace halvo::test
