// A virtual pointer: absolute motion over the whole layout, the left button, a frame after each.
#include "support/sway/SwayVirtualPointer.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cstring>
#include <ctime>
#include <linux/input-event-codes.h>
#include <wayland-client.h>

namespace halvo::test {
namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void announceGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                    uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (!globals->seat && strcmp(interface, wl_seat_interface.name) == 0) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void removeGlobal(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {announceGlobal, removeGlobal};

uint32_t milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

SwayVirtualPointer::SwayVirtualPointer(const std::string& waylandDisplay, int layoutWidth,
                                       int layoutHeight)
    : m_width(layoutWidth), m_height(layoutHeight) {
    m_display = wl_display_connect(waylandDisplay.c_str());
    if (!m_display) {
        m_error = "cannot connect to the Wayland display " + waylandDisplay;
        return;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(m_display);
    wl_registry_destroy(registry);
    m_seat = globals.seat;
    m_manager = globals.manager;
    if (!m_seat || !m_manager) {
        m_error = "the compositor offers no seat or no virtual pointers";
        return;
    }
    m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(m_manager, m_seat);
    finish();
}

SwayVirtualPointer::~SwayVirtualPointer() {
    if (m_pointer)
        zwlr_virtual_pointer_v1_destroy(m_pointer);
    if (m_manager)
        zwlr_virtual_pointer_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_display) {
        wl_display_roundtrip(m_display);
        wl_display_disconnect(m_display);
    }
}

bool SwayVirtualPointer::finish() {
    if (wl_display_roundtrip(m_display) < 0) {
        m_error = "the Wayland connection failed (error " +
                  std::to_string(wl_display_get_error(m_display)) + ")";
        return false;
    }
    return true;
}

bool SwayVirtualPointer::moveTo(int x, int y) {
    if (!ok())
        return false;
    zwlr_virtual_pointer_v1_motion_absolute(
        m_pointer, milliseconds(), static_cast<uint32_t>(x), static_cast<uint32_t>(y),
        static_cast<uint32_t>(m_width), static_cast<uint32_t>(m_height));
    zwlr_virtual_pointer_v1_frame(m_pointer);
    return finish();
}

bool SwayVirtualPointer::button(bool down) {
    if (!ok())
        return false;
    zwlr_virtual_pointer_v1_button(m_pointer, milliseconds(), BTN_LEFT,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED
                                        : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    return finish();
}

bool SwayVirtualPointer::press() {
    return button(true);
}

bool SwayVirtualPointer::release() {
    return button(false);
}

} // namespace halvo::test
