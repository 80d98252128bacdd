// A set of the four modifier keys a shortcut may use. The numbers are the stored ones (Control 1,
// Alt 2, Super 4, Shift 8): the settings file keeps a combination as their sum.
#pragma once

#include <cstdint>

namespace halvo {

enum class Modifier : std::uint8_t { control = 1, alt = 2, super = 4, shift = 8 };

class Modifiers {
public:
    constexpr Modifiers() = default;
    constexpr Modifiers(Modifier key) : m_bits(static_cast<std::uint8_t>(key)) {}
    // Bits above the four keys are dropped.
    static constexpr Modifiers fromBits(std::uint32_t bits) {
        Modifiers result;
        result.m_bits = static_cast<std::uint8_t>(bits & 0xF);
        return result;
    }

    constexpr std::uint8_t bits() const { return m_bits; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr bool contains(Modifier key) const {
        return (m_bits & static_cast<std::uint8_t>(key)) != 0;
    }
    constexpr Modifiers operator|(Modifiers other) const { return fromBits(m_bits | other.m_bits); }
    // Without the keys of other.
    constexpr Modifiers without(Modifiers other) const { return fromBits(m_bits & ~other.m_bits); }
    constexpr bool operator==(const Modifiers&) const = default;

private:
    std::uint8_t m_bits = 0;
};

constexpr Modifiers operator|(Modifier a, Modifier b) {
    return Modifiers(a) | Modifiers(b);
}

} // namespace halvo
