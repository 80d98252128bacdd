// Key and modifier translations of the X11 keyboard backend.
#include "platform/x11/X11KeyMap.h"

#include <X11/keysym.h>

namespace halvo::x11 {

std::optional<xcb_keysym_t> keysymForKey(Key key) {
    switch (key) {
    case Key::left:
        return XK_Left;
    case Key::right:
        return XK_Right;
    case Key::down:
        return XK_Down;
    case Key::up:
        return XK_Up;
    case Key::escape:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Key> keyForKeysym(xcb_keysym_t keysym) {
    switch (keysym) {
    case XK_Left:
        return Key::left;
    case XK_Right:
        return Key::right;
    case XK_Down:
        return Key::down;
    case XK_Up:
        return Key::up;
    default:
        return std::nullopt;
    }
}

std::uint16_t xModifiersFor(Modifiers modifiers) {
    std::uint16_t mask = 0;
    if (modifiers.contains(Modifier::control))
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers.contains(Modifier::alt))
        mask |= XCB_MOD_MASK_1;
    if (modifiers.contains(Modifier::super))
        mask |= XCB_MOD_MASK_4;
    if (modifiers.contains(Modifier::shift))
        mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

Modifiers modifiersForXState(std::uint16_t state) {
    Modifiers held;
    if (state & XCB_MOD_MASK_CONTROL)
        held = held | Modifier::control;
    if (state & XCB_MOD_MASK_1)
        held = held | Modifier::alt;
    if (state & XCB_MOD_MASK_4)
        held = held | Modifier::super;
    if (state & XCB_MOD_MASK_SHIFT)
        held = held | Modifier::shift;
    return held;
}

} // namespace halvo::x11
