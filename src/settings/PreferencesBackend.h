// What the Preferences window needs from the rest of the program: the permission flags and the
// shortcut error it shows, the two settings it edits, and the actions its buttons run.
#pragma once

#include "input/ShortcutModifiers.h"
#include "platform/Published.h"
#include "platform/Subscription.h"
#include "platform/Theme.h"
#include "settings/PermissionHelp.h"

#include <functional>
#include <optional>
#include <string>

namespace halvo {

class PreferencesBackend {
public:
    virtual ~PreferencesBackend() = default;

    virtual Published<bool>& windowManagerRunning() = 0;
    virtual Published<bool>& keyboardAccess() = 0;
    // The message of the last failed shortcut change; none after a successful one.
    virtual Published<std::optional<std::string>>& hotkeyError() = 0;
    // How the two checks are explained in the session Halvo runs in.
    virtual PermissionHelp permissionHelp() const = 0;

    virtual Theme theme() const = 0;
    // Stored at once; the overlay follows.
    virtual void setTheme(Theme theme) = 0;
    // The stored combination (not a recording in progress).
    virtual ShortcutModifiers modifiers() const = 0;
    // Runs `changed` after every change of the theme or the stored combination.
    [[nodiscard]] virtual Subscription observeSettings(std::function<void()> changed) = 0;

    // Validates, registers and stores a new combination; on failure sets hotkeyError and keeps
    // the previous one.
    virtual bool applyShortcut(ShortcutModifiers modifiers) = 0;

    // Suspending the global shortcut also cancels a pending long press, forgets that the
    // combination is held and ends a switch in progress. Resuming only lifts the suspension.
    virtual void setHotkeysSuspended(bool suspended) = 0;

    virtual void promptForWindowManager() = 0;
    virtual void openKeyboardAccessHelp() = 0;

    // Reads both permissions again, then rebuilds the status menu.
    virtual void refreshPermissions() = 0;
    virtual void rebuildMenu() = 0;
};

} // namespace halvo
