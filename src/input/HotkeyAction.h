// The four actions of the shortcut's arrow keys; the raw value is also the hot key's id.
#pragma once

#include "platform/HotkeyTypes.h"

#include <array>
#include <cstdint>
#include <optional>

namespace halvo {

enum class HotkeyAction : std::uint32_t {
    previous = 1,        // Left arrow
    next = 2,            // Right arrow
    enterFullScreen = 3, // Up arrow
    exitFullScreen = 4,  // Down arrow
};

// Every action, in the order in which hot keys are registered and key codes are looked up.
inline constexpr std::array<HotkeyAction, 4> allHotkeyActions = {
    HotkeyAction::previous, HotkeyAction::next, HotkeyAction::enterFullScreen,
    HotkeyAction::exitFullScreen};

constexpr std::uint32_t rawValue(HotkeyAction action) {
    return static_cast<std::uint32_t>(action);
}

// The action with that raw value; nothing outside 1 to 4.
constexpr std::optional<HotkeyAction> hotkeyActionFromRawValue(std::uint32_t raw) {
    if (raw < 1 || raw > 4)
        return std::nullopt;
    return static_cast<HotkeyAction>(raw);
}

// The virtual key code of the action's arrow: Up is 126 and Down 125, not in case order.
// The case's name, for logs and test messages.
constexpr const char* name(HotkeyAction action) {
    switch (action) {
    case HotkeyAction::previous:
        return "previous";
    case HotkeyAction::next:
        return "next";
    case HotkeyAction::enterFullScreen:
        return "enterFullScreen";
    case HotkeyAction::exitFullScreen:
        return "exitFullScreen";
    }
    return "?";
}

constexpr std::uint16_t keyCode(HotkeyAction action) {
    switch (action) {
    case HotkeyAction::previous:
        return kVK_LeftArrow;
    case HotkeyAction::next:
        return kVK_RightArrow;
    case HotkeyAction::enterFullScreen:
        return kVK_UpArrow;
    case HotkeyAction::exitFullScreen:
        return kVK_DownArrow;
    }
    return 0;
}

// The first action, in case order, whose arrow has that key code; nothing for any other key.
constexpr std::optional<HotkeyAction> hotkeyActionForKeyCode(std::uint16_t code) {
    for (HotkeyAction action : allHotkeyActions) {
        if (keyCode(action) == code)
            return action;
    }
    return std::nullopt;
}

} // namespace halvo
