// Key code, mask and flag translations of the X11 keyboard backend.
#include "platform/x11/X11KeyMap.h"

#include "platform/HotkeyTypes.h"

#include <X11/keysym.h>

namespace halvo::x11 {

std::optional<xcb_keysym_t> keysymForKeyCode(std::uint32_t keyCode) {
    switch (keyCode) {
    case kVK_LeftArrow:
        return XK_Left;
    case kVK_RightArrow:
        return XK_Right;
    case kVK_DownArrow:
        return XK_Down;
    case kVK_UpArrow:
        return XK_Up;
    default:
        return std::nullopt;
    }
}

std::optional<std::uint16_t> keyCodeForKeysym(xcb_keysym_t keysym) {
    switch (keysym) {
    case XK_Left:
        return kVK_LeftArrow;
    case XK_Right:
        return kVK_RightArrow;
    case XK_Down:
        return kVK_DownArrow;
    case XK_Up:
        return kVK_UpArrow;
    default:
        return std::nullopt;
    }
}

std::uint16_t xModifiersForCarbon(std::uint32_t carbonModifiers) {
    std::uint16_t mask = 0;
    if (carbonModifiers & controlKey)
        mask |= XCB_MOD_MASK_CONTROL;
    if (carbonModifiers & optionKey)
        mask |= XCB_MOD_MASK_1;
    if (carbonModifiers & cmdKey)
        mask |= XCB_MOD_MASK_4;
    if (carbonModifiers & shiftKey)
        mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

std::uint64_t eventFlagsForXModifiers(std::uint16_t state) {
    std::uint64_t flags = 0;
    if (state & XCB_MOD_MASK_CONTROL)
        flags |= NSEventModifierFlagControl;
    if (state & XCB_MOD_MASK_1)
        flags |= NSEventModifierFlagOption;
    if (state & XCB_MOD_MASK_4)
        flags |= NSEventModifierFlagCommand;
    if (state & XCB_MOD_MASK_SHIFT)
        flags |= NSEventModifierFlagShift;
    if (state & XCB_MOD_MASK_LOCK)
        flags |= NSEventModifierFlagCapsLock;
    return flags;
}

} // namespace halvo::x11
