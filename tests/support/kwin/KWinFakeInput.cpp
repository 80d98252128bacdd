// The fake-input client; see KWinFakeInput.h.
#include "support/kwin/KWinFakeInput.h"

#include "fake-input-client-protocol.h"

#include <cstring>
#include <wayland-client.h>

namespace halvo::test {
namespace {

// keyboard_key came with version 4.
constexpr std::uint32_t keyboardVersion = 4;

void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) != 0 ||
        version < keyboardVersion)
        return;
    *static_cast<org_kde_kwin_fake_input**>(data) = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, keyboardVersion));
}

const wl_registry_listener registryListener = {
    .global = global,
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

} // namespace

KWinFakeInput::KWinFakeInput(const std::string& waylandDisplay) {
    m_display = wl_display_connect(waylandDisplay.c_str());
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, &m_input);
    wl_display_roundtrip(m_display);
    if (!m_input)
        return;
    org_kde_kwin_fake_input_authenticate(m_input, "halvo tests", "sends test keys");
    wl_display_roundtrip(m_display);
}

KWinFakeInput::~KWinFakeInput() {
    if (m_input)
        org_kde_kwin_fake_input_destroy(m_input);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

void KWinFakeInput::key(std::uint32_t code, bool pressed) {
    if (!m_input)
        return;
    org_kde_kwin_fake_input_keyboard_key(m_input, code, pressed ? 1 : 0);
    wl_display_roundtrip(m_display);
}

void KWinFakeInput::press(std::uint32_t code) {
    key(code, true);
}

void KWinFakeInput::release(std::uint32_t code) {
    key(code, false);
}

void KWinFakeInput::tap(std::uint32_t code) {
    press(code);
    release(code);
}

void KWinFakeInput::movePointer(double x, double y) {
    if (!m_input)
        return;
    org_kde_kwin_fake_input_pointer_motion_absolute(m_input, wl_fixed_from_double(x),
                                                    wl_fixed_from_double(y));
    wl_display_roundtrip(m_display);
}

void KWinFakeInput::leftButton(bool pressed) {
    if (!m_input)
        return;
    constexpr std::uint32_t buttonLeft = 0x110; // BTN_LEFT
    org_kde_kwin_fake_input_button(m_input, buttonLeft, pressed ? 1 : 0);
    wl_display_roundtrip(m_display);
}

} // namespace halvo::test
