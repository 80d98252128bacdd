// Real key events on a Wayland compositor through the virtual-keyboard protocol, in exactly the
// order a test gives them, with a full xkb keymap so that modifier keys set the modifier state.
#pragma once

#include "support/sway/SwaySeatClient.h"

#include <string>

struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace halvo::test {

class SwayVirtualKeyboard {
public:
    // Connects to `waylandDisplay` (a socket name or an absolute path) and adds a keyboard with
    // the default xkb keymap (us, pc105) to the compositor's first seat.
    explicit SwayVirtualKeyboard(const std::string& waylandDisplay);
    ~SwayVirtualKeyboard();
    SwayVirtualKeyboard(const SwayVirtualKeyboard&) = delete;
    SwayVirtualKeyboard& operator=(const SwayVirtualKeyboard&) = delete;

    bool ok() const { return m_client.ok(); }
    const std::string& error() const { return m_client.error(); }

    // Keysym names as xkb knows them: "Control_L", "Alt_L", "Shift_L", "Super_L", "Left",
    // "Right", "a". A modifier key changes the modifier state as a real keyboard's would. Each
    // call returns once the compositor has processed the event; false (with error() set) when
    // the name has no key in the keymap or the connection failed.
    bool press(const std::string& keysymName);
    bool release(const std::string& keysymName);
    bool tap(const std::string& keysymName);

private:
    bool setUpKeymap();
    bool send(const std::string& keysymName, bool down);
    unsigned keycode(const std::string& keysymName) const;

    SwaySeatClient m_client;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
};

} // namespace halvo::test
