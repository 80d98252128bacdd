// A virtual keyboard for tests: the keymap goes to the compositor through a memfd, and after
// each key the serialised xkb state follows as a modifiers request, as a real keyboard's would.
#include "support/sway/SwayVirtualKeyboard.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace halvo::test {

SwayVirtualKeyboard::SwayVirtualKeyboard(const std::string& waylandDisplay)
    : m_client(waylandDisplay, zwp_virtual_keyboard_manager_v1_interface, "virtual keyboards"),
      m_manager(static_cast<zwp_virtual_keyboard_manager_v1*>(m_client.manager())) {
    if (!m_client.ok())
        return;
    m_keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_client.seat());
    if (setUpKeymap() && !m_client.roundtrip())
        m_client.fail("the compositor refused the keyboard");
}

SwayVirtualKeyboard::~SwayVirtualKeyboard() {
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool SwayVirtualKeyboard::setUpKeymap() {
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    m_keymap = m_context
                   ? xkb_keymap_new_from_names(m_context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)
                   : nullptr;
    m_state = m_keymap ? xkb_state_new(m_keymap) : nullptr;
    if (!m_state) {
        m_client.fail("xkbcommon could not compile the default keymap");
        return false;
    }
    char* text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = strlen(text) + 1;
    const int fd = memfd_create("halvo-test-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
    free(text);
    if (!written) {
        m_client.fail("could not pass the keymap in shared memory");
        if (fd >= 0)
            close(fd);
        return false;
    }
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<uint32_t>(size));
    close(fd);
    return true;
}

unsigned SwayVirtualKeyboard::keycode(const std::string& keysymName) const {
    const xkb_keysym_t wanted = xkb_keysym_from_name(keysymName.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (wanted == XKB_KEY_NoSymbol)
        return 0;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(m_keymap);
         code <= xkb_keymap_max_keycode(m_keymap); ++code) {
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(m_keymap, code, 0, 0, &syms);
        for (int i = 0; i < count; ++i) {
            if (syms[i] == wanted)
                return code;
        }
    }
    return 0;
}

bool SwayVirtualKeyboard::send(const std::string& keysymName, bool down) {
    if (!ok())
        return false;
    const unsigned code = keycode(keysymName);
    if (code == 0) {
        m_client.fail("no key for the keysym " + keysymName);
        return false;
    }
    // Wayland key codes are evdev codes: xkb's less 8.
    zwp_virtual_keyboard_v1_key(m_keyboard, SwaySeatClient::milliseconds(), code - 8,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(m_state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(
        m_keyboard, xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE));
    return m_client.roundtrip();
}

bool SwayVirtualKeyboard::press(const std::string& keysymName) {
    return send(keysymName, true);
}

bool SwayVirtualKeyboard::release(const std::string& keysymName) {
    return send(keysymName, false);
}

bool SwayVirtualKeyboard::tap(const std::string& keysymName) {
    return press(keysymName) && release(keysymName);
}

} // namespace halvo::test
