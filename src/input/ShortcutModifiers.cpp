// Bits, symbols and platform masks of the shortcut's modifier keys.
#include "input/ShortcutModifiers.h"

#include "platform/HotkeyTypes.h"

#include <bit>

namespace halvo {

const ShortcutModifiers ShortcutModifiers::control{1};
const ShortcutModifiers ShortcutModifiers::option{2};
const ShortcutModifiers ShortcutModifiers::command{4};
const ShortcutModifiers ShortcutModifiers::shift{8};
const ShortcutModifiers ShortcutModifiers::defaultCombination{3};

namespace {

struct Member {
    std::uint32_t bit;
    std::uint32_t carbonMask;
    std::uint64_t eventFlag;
};

constexpr Member members[] = {
    {1, controlKey, NSEventModifierFlagControl},
    {2, optionKey, NSEventModifierFlagOption},
    {4, cmdKey, NSEventModifierFlagCommand},
    {8, shiftKey, NSEventModifierFlagShift},
};

} // namespace

ShortcutModifiers::ShortcutModifiers(std::initializer_list<ShortcutModifiers> list) {
    for (ShortcutModifiers member : list)
        m_rawValue |= member.m_rawValue;
}

ShortcutModifiers ShortcutModifiers::fromEventModifierFlags(std::uint64_t flags) {
    ShortcutModifiers result;
    for (const Member& member : members) {
        if (flags & member.eventFlag)
            result.m_rawValue |= member.bit;
    }
    return result;
}

int ShortcutModifiers::count() const {
    return std::popcount(m_rawValue & 0xF);
}

std::string ShortcutModifiers::displayString() const {
    std::string result;
    if (contains(control))
        result += "\u2303";
    if (contains(option))
        result += "\u2325";
    if (contains(shift))
        result += "\u21E7";
    if (contains(command))
        result += "\u2318";
    return result;
}

std::uint32_t ShortcutModifiers::carbonModifiers() const {
    std::uint32_t mask = 0;
    for (const Member& member : members) {
        if (m_rawValue & member.bit)
            mask |= member.carbonMask;
    }
    return mask;
}

std::uint64_t ShortcutModifiers::eventModifierFlags() const {
    std::uint64_t mask = 0;
    for (const Member& member : members) {
        if (m_rawValue & member.bit)
            mask |= member.eventFlag;
    }
    return mask;
}

bool ShortcutModifiers::insert(ShortcutModifiers member) {
    const bool isNew = !contains(member);
    m_rawValue |= member.m_rawValue;
    return isNew;
}

std::optional<ShortcutModifiers> ShortcutModifiers::remove(ShortcutModifiers member) {
    const std::uint32_t present = m_rawValue & member.m_rawValue;
    m_rawValue &= ~member.m_rawValue;
    if (present == 0)
        return std::nullopt;
    return ShortcutModifiers(present);
}

std::optional<ShortcutModifiers> ShortcutModifiers::update(ShortcutModifiers member) {
    const std::uint32_t present = m_rawValue & member.m_rawValue;
    m_rawValue |= member.m_rawValue;
    if (present == 0)
        return std::nullopt;
    return ShortcutModifiers(present);
}

} // namespace halvo
