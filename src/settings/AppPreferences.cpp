// Loading, validating and storing the theme and the modifier combination.
#include "settings/AppPreferences.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace halvo {

AppPreferences::AppPreferences(UserDefaults& defaults)
    : m_defaults(defaults), m_theme(loadTheme(defaults)), m_modifiers(loadModifiers(defaults)) {}

Theme AppPreferences::loadTheme(const UserDefaults& defaults) {
    const auto stored = defaults.stringForKey(themeKey);
    if (stored == "light")
        return Theme::light;
    if (stored == "dark")
        return Theme::dark;
    return Theme::system;
}

ShortcutModifiers AppPreferences::loadModifiers(const UserDefaults& defaults) {
    const auto stored = defaults.objectForKey(modifiersKey);
    if (!stored || !std::holds_alternative<double>(*stored))
        return ShortcutModifiers::defaultCombination;
    // Numbers come back as doubles. A fraction is truncated to its unsigned value; a number
    // outside the 32-bit range (or not a number at all) cannot be a combination.
    const double number = std::get<double>(*stored);
    if (!std::isfinite(number) || number < 0 ||
        number > static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        return ShortcutModifiers::defaultCombination;
    const ShortcutModifiers modifiers(static_cast<std::uint32_t>(number));
    return modifiers.isValid() ? modifiers : ShortcutModifiers::defaultCombination;
}

void AppPreferences::setTheme(Theme theme) {
    m_theme.set(theme);
    m_defaults.setObject(themeKey, rawValue(theme));
}

void AppPreferences::setModifiers(ShortcutModifiers modifiers) {
    if (!modifiers.isValid())
        return;
    m_modifiers.set(modifiers);
    m_defaults.setObject(modifiersKey, static_cast<double>(modifiers.rawValue()));
}

} // namespace halvo
