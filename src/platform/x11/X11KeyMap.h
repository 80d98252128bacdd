// Translations between X keysyms and modifier masks and the keyboard seam's keys and modifiers.
// Only the four arrows and the shortcut's modifiers are ever translated.
#pragma once

#include "platform/Key.h"
#include "platform/Modifiers.h"

#include <cstdint>
#include <optional>
#include <xcb/xcb.h>

namespace halvo::x11 {

// The keysym of an arrow; nothing for any other key.
std::optional<xcb_keysym_t> keysymForKey(Key key);

// The arrow of a keysym; nothing for any other keysym.
std::optional<Key> keyForKeysym(xcb_keysym_t keysym);

// Modifiers to X modifiers: Control, Alt to Mod1, Super to Mod4, Shift.
std::uint16_t xModifiersFor(Modifiers modifiers);

// X modifier state to the modifiers held: Control, Mod1 (Alt), Mod4 (Super), Shift. Lock (Caps
// Lock), Num Lock and the other modifiers are dropped.
Modifiers modifiersForXState(std::uint16_t state);

} // namespace halvo::x11
