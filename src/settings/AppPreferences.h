// The two user settings kept in the user defaults: the overlay's theme and the shortcut's modifier
// combination. Loaded once; every change is published, then written straight back.
#pragma once

#include "input/ShortcutModifiers.h"
#include "platform/Published.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"

namespace halvo {

class AppPreferences {
public:
    static constexpr const char* themeKey = "halvo.minimapTheme";
    static constexpr const char* modifiersKey = "halvo.shortcutModifiers";

    // Reads both settings; a missing or invalid value falls back (theme: system, modifiers:
    // Control + Alt) and stays in the store until the next change. Writes nothing.
    explicit AppPreferences(UserDefaults& defaults);

    const Published<Theme>& theme() const { return m_theme; }
    const Published<ShortcutModifiers>& modifiers() const { return m_modifiers; }

    // Publishes and writes, also when the value is the one already held.
    void setTheme(Theme theme);

    // A combination outside 1 to 15 (the empty one included) is ignored: no change, no
    // notification, no write.
    void setModifiers(ShortcutModifiers modifiers);

private:
    static Theme loadTheme(const UserDefaults& defaults);
    static ShortcutModifiers loadModifiers(const UserDefaults& defaults);

    UserDefaults& m_defaults;
    Published<Theme> m_theme;
    Published<ShortcutModifiers> m_modifiers;
};

} // namespace halvo
