// One key binding of an i3 or sway configuration, normalised so that two spellings of the same
// combination compare equal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace halvo {

struct I3KeyBinding {
    // The eight X modifiers as i3 and sway name them; several names share a bit (Ctrl and
    // Control, Alt and Mod1, Super and Mod4).
    enum Modifier : std::uint8_t {
        shift = 1,
        lock = 2,
        control = 4,
        mod1 = 8,
        mod2 = 16,
        mod3 = 32,
        mod4 = 64,
        mod5 = 128,
    };
    enum class Kind { symbol, code }; // bindsym or bindcode

    Kind kind = Kind::symbol;
    std::string mode = "default";
    std::uint8_t modifiers = 0;
    // The keys besides the modifiers, sorted: keysym names in lower case (hexadecimal keysyms of
    // the arrows read as their names), or keycodes in decimal.
    std::vector<std::string> keys;
    bool release = false;
    std::string command;

    bool operator==(const I3KeyBinding&) const = default;
};

} // namespace halvo
