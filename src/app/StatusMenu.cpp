// Menu table and tooltip of the status item.
#include "app/StatusMenu.h"

#include "platform/Localization.h"

namespace halvo {

std::vector<StatusMenuItem> StatusMenu::build(bool accessibilityTrusted, const Actions& actions) {
    std::vector<StatusMenuItem> items;
    if (!accessibilityTrusted) {
        items.push_back(
            {localized("Accessibility permission required", "Missing permission warning"), false,
             nullptr, "", false});
        items.push_back(
            {localized("Open Accessibility Settings…", "Open system Accessibility settings"), true,
             actions.openAccessibility, "", false});
        items.push_back(
            {localized("Open Input Monitoring Settings…", "Open system Input Monitoring settings"),
             true, actions.openInputMonitoring, "", false});
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
    std::string format =
        localized("Halvo — %@ + ←/→ to switch apps", "Menu bar tooltip with modifier keys");
    const std::string placeholder = "%@";
    if (const auto at = format.find(placeholder); at != std::string::npos)
        format.replace(at, placeholder.size(), modifiers.displayString());
    return format;
}

void StatusMenu::setUp(StatusItem& item, ShortcutModifiers modifiers, bool accessibilityTrusted,
                       const Actions& actions) {
    if (!item.setImage(imageName, imageDescription))
        item.setTitle(fallbackTitle);
    item.setToolTip(toolTip(modifiers));
    item.setMenu(build(accessibilityTrusted, actions));
}

} // namespace halvo
