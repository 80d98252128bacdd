// The four actions of the shortcut's arrow keys, each bound to its arrow.
#pragma once

#include "platform/Key.h"

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

// Every action, in the order in which shortcuts are registered and keys are looked up.
inline constexpr std::array<HotkeyAction, 4> allHotkeyActions = {
    HotkeyAction::previous, HotkeyAction::next, HotkeyAction::enterFullScreen,
    HotkeyAction::exitFullScreen};

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

// The action's arrow.
constexpr Key key(HotkeyAction action) {
    switch (action) {
    case HotkeyAction::previous:
        return Key::left;
    case HotkeyAction::next:
        return Key::right;
    case HotkeyAction::enterFullScreen:
        return Key::up;
    case HotkeyAction::exitFullScreen:
        return Key::down;
    }
    return Key::escape;
}

// The action whose arrow that key is; nothing for any other key.
constexpr std::optional<HotkeyAction> hotkeyActionForKey(Key pressed) {
    for (HotkeyAction action : allHotkeyActions) {
        if (key(action) == pressed)
            return action;
    }
    return std::nullopt;
}

} // namespace halvo
