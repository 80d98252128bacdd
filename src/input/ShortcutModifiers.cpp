// Bits and key names of the shortcut's modifier keys.
#include "input/ShortcutModifiers.h"

#include "platform/Localization.h"

#include <bit>
#include <utility>

namespace halvo {

const ShortcutModifiers ShortcutModifiers::control{1};
const ShortcutModifiers ShortcutModifiers::alt{2};
const ShortcutModifiers ShortcutModifiers::super{4};
const ShortcutModifiers ShortcutModifiers::shift{8};
const ShortcutModifiers ShortcutModifiers::defaultCombination{3};

int ShortcutModifiers::count() const {
    return std::popcount(m_rawValue & 0xF);
}

std::string ShortcutModifiers::displayString() const {
    // Shift before Super, as desktops write their shortcuts, although Shift is the higher bit.
    const std::pair<ShortcutModifiers, std::string> names[] = {
        {control, localized("Ctrl", "Name of the Control key in shortcuts")},
        {alt, localized("Alt", "Name of the Alt key in shortcuts")},
        {shift, localized("Shift", "Name of the Shift key in shortcuts")},
        {super, localized("Super", "Name of the Super (Windows logo) key in shortcuts")},
    };
    std::string result;
    for (const auto& [member, name] : names) {
        if (!contains(member))
            continue;
        if (!result.empty())
            result += "+";
        result += name;
    }
    return result;
}

} // namespace halvo
