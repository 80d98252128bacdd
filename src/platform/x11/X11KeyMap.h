// Translations between X key names and masks and the hot-key service's key codes, masks and
// flag words. Only the four arrows and the shortcut's modifiers are ever translated.
#pragma once

#include <cstdint>
#include <optional>
#include <xcb/xcb.h>

namespace halvo::x11 {

// The arrow keysym of a virtual key code (123 Left, 124 Right, 125 Down, 126 Up); nothing for
// any other code.
std::optional<xcb_keysym_t> keysymForKeyCode(std::uint32_t keyCode);

// The virtual key code of an arrow keysym; nothing for any other keysym.
std::optional<std::uint16_t> keyCodeForKeysym(xcb_keysym_t keysym);

// Hot-key modifier mask to X modifiers: Control, Option to Mod1 (Alt), Command to Mod4 (Super),
// Shift. Other bits are dropped.
std::uint16_t xModifiersForCarbon(std::uint32_t carbonModifiers);

// X modifier state to a flag word: Control 0x40000, Mod1 0x80000, Mod4 0x100000, Shift 0x20000,
// Lock (Caps Lock) 0x10000. Other modifiers are dropped.
std::uint64_t eventFlagsForXModifiers(std::uint16_t state);

} // namespace halvo::x11
