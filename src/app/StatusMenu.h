// The status item's menu and tooltip, built from the permission state and the shortcut.
#pragma once

#include "input/ShortcutModifiers.h"
#include "platform/StatusItem.h"

#include <functional>
#include <string>
#include <vector>

namespace halvo {

class StatusMenu {
public:
    // What the menu entries do; an unset action leaves its entry without one.
    struct Actions {
        std::function<void()> promptForWindowManager;
        std::function<void()> promptForKeyboardAccess;
        std::function<void()> openPreferences;
        std::function<void()> openAbout;
        std::function<void()> quitApp;
    };

    // The icon, and its description for screen readers; the title shown when it is unavailable.
    static constexpr const char* imageName = "halvo";
    static constexpr const char* imageDescription = "Halvo";
    static constexpr const char* fallbackTitle = "Halvo";

    // Preferences…, About Halvo, a separator, Quit Halvo; without a window manager preceded by a
    // disabled warning, the two settings links and a separator.
    static std::vector<StatusMenuItem> build(bool windowManagerRunning, const Actions& actions);

    // "Halvo — Ctrl+Alt + ←/→ to switch apps" for the given combination.
    static std::string toolTip(ShortcutModifiers modifiers);

    // Icon (or title when the icon is missing) and tooltip, then the menu.
    static void setUp(StatusItem& item, ShortcutModifiers modifiers, bool windowManagerRunning,
                      const Actions& actions);
};

} // namespace halvo
