// Values of the global hot-key service: key codes, modifier masks, ids and events.
#pragma once

#include <cstdint>

namespace halvo {

using OSStatus = std::int32_t;
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus eventHotKeyExistsErr = -9878; // another client owns the combination
inline constexpr OSStatus eventNotHandledErr = -9874;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;
inline constexpr OSStatus paramErr = -50;

// Packs a four-character code big-endian into 32 bits: fourCharCode("HLVO").
constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// Virtual key codes of the four arrows.
inline constexpr std::uint16_t kVK_LeftArrow = 123;
inline constexpr std::uint16_t kVK_RightArrow = 124;
inline constexpr std::uint16_t kVK_DownArrow = 125;
inline constexpr std::uint16_t kVK_UpArrow = 126;
inline constexpr std::uint16_t kVK_Escape = 53;

// Hot-key modifier masks.
inline constexpr std::uint32_t cmdKey = 0x0100;
inline constexpr std::uint32_t shiftKey = 0x0200;
inline constexpr std::uint32_t optionKey = 0x0800;
inline constexpr std::uint32_t controlKey = 0x1000;

// Event modifier flags, as flag words of flags-changed events carry them.
inline constexpr std::uint64_t NSEventModifierFlagCapsLock = 0x10000;
inline constexpr std::uint64_t NSEventModifierFlagShift = 0x20000;
inline constexpr std::uint64_t NSEventModifierFlagControl = 0x40000;
inline constexpr std::uint64_t NSEventModifierFlagOption = 0x80000;
inline constexpr std::uint64_t NSEventModifierFlagCommand = 0x100000;
inline constexpr std::uint64_t NSEventModifierFlagNumericPad = 0x200000;
inline constexpr std::uint64_t NSEventModifierFlagFunction = 0x800000;

// Event classes and kinds of hot-key events.
inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventHotKeyReleased = 6;
// The hot key's combination was pressed but its presses went to another program, which holds
// the same combination without refusing the registration.
inline constexpr std::uint32_t kEventHotKeyTaken = 7;

// Types of monitored events and their mask bits.
inline constexpr std::uint32_t NSEventTypeKeyDown = 10;
inline constexpr std::uint32_t NSEventTypeKeyUp = 11;
inline constexpr std::uint32_t NSEventTypeFlagsChanged = 12;
inline constexpr std::uint64_t NSEventMaskKeyDown = 1ull << NSEventTypeKeyDown;
inline constexpr std::uint64_t NSEventMaskKeyUp = 1ull << NSEventTypeKeyUp;
inline constexpr std::uint64_t NSEventMaskFlagsChanged = 1ull << NSEventTypeFlagsChanged;

struct EventHotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    bool operator==(const EventHotKeyID&) const = default;
};

// Handles handed out by the registrar; 0 is "none".
using EventHotKeyRef = std::uint64_t;
using EventHandlerRef = std::uint64_t;

// A hot-key event as the handler receives it.
struct HotkeyEvent {
    std::uint32_t eventClass = kEventClassKeyboard;
    std::uint32_t kind = kEventHotKeyPressed;
    // Reading the hot-key id from the event can fail; then parameterStatus is not noErr.
    OSStatus parameterStatus = noErr;
    EventHotKeyID hotKeyID;
};

// An event seen by an event monitor.
struct MonitoredEvent {
    std::uint32_t type = 0;    // NSEventTypeKeyUp, NSEventTypeFlagsChanged, ...
    std::uint16_t keyCode = 0; // virtual key code, for key events
    std::uint64_t modifierFlags = 0;
};

} // namespace halvo
