// Connecting a test device to a Wayland compositor's seat.
#include "support/sway/SwaySeatClient.h"

#include <cstring>
#include <ctime>
#include <wayland-client.h>

namespace halvo::test {
namespace {

struct Globals {
    const wl_interface* wanted;
    wl_seat* seat = nullptr;
    void* manager = nullptr;
};

void announceGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                    uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (!globals->seat && strcmp(interface, wl_seat_interface.name) == 0) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (strcmp(interface, globals->wanted->name) == 0) {
        globals->manager = wl_registry_bind(registry, name, globals->wanted, 1);
    }
}

void removeGlobal(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {announceGlobal, removeGlobal};

} // namespace

SwaySeatClient::SwaySeatClient(const std::string& waylandDisplay, const wl_interface& manager,
                               const std::string& device) {
    m_display = wl_display_connect(waylandDisplay.c_str());
    if (!m_display) {
        m_error = "cannot connect to the Wayland display " + waylandDisplay;
        return;
    }
    Globals globals{&manager};
    wl_registry* registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(m_display);
    wl_registry_destroy(registry);
    m_seat = globals.seat;
    m_manager = globals.manager;
    if (!m_seat || !m_manager)
        m_error = "the compositor offers no seat or no " + device;
}

SwaySeatClient::~SwaySeatClient() {
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_display) {
        wl_display_roundtrip(m_display);
        wl_display_disconnect(m_display);
    }
}

bool SwaySeatClient::roundtrip() {
    if (wl_display_roundtrip(m_display) < 0) {
        m_error = "the Wayland connection failed (error " +
                  std::to_string(wl_display_get_error(m_display)) + ")";
        return false;
    }
    return true;
}

std::uint32_t SwaySeatClient::milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace halvo::test
