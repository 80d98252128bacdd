// The modifier keys held to switch applications: an option set over Control 1, Alt 2, Super 4 and
// Shift 8. The raw value is the stored format and must not be renumbered.
#pragma once

#include "platform/Modifiers.h"

#include <cstdint>
#include <string>

namespace halvo {

class ShortcutModifiers {
public:
    static const ShortcutModifiers control;
    static const ShortcutModifiers alt;
    static const ShortcutModifiers super;
    static const ShortcutModifiers shift;

    // Control + Alt, raw 3: the fallback wherever an invalid combination is met.
    static const ShortcutModifiers defaultCombination;

    constexpr ShortcutModifiers() = default;
    // Any value is accepted; validity is the user's concern.
    constexpr explicit ShortcutModifiers(std::uint32_t rawValue) : m_rawValue(rawValue) {}

    // The keys held, as the keyboard reports them.
    constexpr explicit ShortcutModifiers(Modifiers keys) : m_rawValue(keys.bits()) {}

    constexpr std::uint32_t rawValue() const { return m_rawValue; }
    constexpr bool operator==(const ShortcutModifiers&) const = default;

    // Raw value within 1 to 15.
    bool isValid() const { return m_rawValue >= 1 && m_rawValue <= 15; }
    bool isEmpty() const { return m_rawValue == 0; }
    // How many of the four keys are in the set.
    int count() const;

    // The key names as the desktop shows them, in the order Control, Alt, Shift, Super, joined by
    // "+": raw 3 gives "Ctrl+Alt", raw 12 "Shift+Super". The names are translated.
    std::string displayString() const;
    // The four keys of the set; bits above them are dropped.
    constexpr Modifiers keys() const { return Modifiers::fromBits(m_rawValue); }

    // Whether every key of `member` is in the set.
    bool contains(ShortcutModifiers member) const {
        return (m_rawValue & member.m_rawValue) == member.m_rawValue;
    }

private:
    std::uint32_t m_rawValue = 0;
};

} // namespace halvo
