// Menu table and tooltip of the status item.
#include "app/StatusMenu.h"

#include "platform/Localization.h"

namespace halvo {

std::vector<StatusMenuItem> StatusMenu::build(bool windowManagerRunning, const Actions& actions) {
    std::vector<StatusMenuItem> items;
    if (!windowManagerRunning) {
        items.push_back({localized("Window manager required", "Missing window manager warning"),
                         false, nullptr, "", false});
        items.push_back({localized("Open Window Manager Help…", "Open window manager help"), true,
                         actions.promptForWindowManager, "", false});
        items.push_back({localized("Open Keyboard Access Help…", "Open keyboard access help"), true,
                         actions.promptForKeyboardAccess, "", false});
        items.push_back(StatusMenuItem::separator());
    }
    items.push_back({localized("Preferences…", "Preferences menu item"), true,
                     actions.openPreferences, ",", false});
    items.push_back(
        {localized("About Halvo", "About menu item"), true, actions.openAbout, "", false});
    items.push_back(StatusMenuItem::separator());
    items.push_back({localized("Quit Halvo", "Quit menu item"), true, actions.quitApp, "q", false});
    return items;
}

std::string StatusMenu::toolTip(ShortcutModifiers modifiers) {
    return fillPlaceholders(
        localized("Halvo — %1 + ←/→ to switch apps", "Tray icon tooltip with modifier keys"),
        {modifiers.displayString()});
}

void StatusMenu::setUp(StatusItem& item, ShortcutModifiers modifiers, bool windowManagerRunning,
                       const Actions& actions) {
    if (!item.setImage(imageName, imageDescription))
        item.setTitle(fallbackTitle);
    item.setToolTip(toolTip(modifiers));
    item.setMenu(build(windowManagerRunning, actions));
}

} // namespace halvo
