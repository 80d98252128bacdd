// The explanations of the two checks on X11, on sway and in GNOME Shell.
#include "settings/PermissionHelp.h"

#include "platform/Localization.h"

namespace halvo {

std::string PermissionHelp::windowManagerExplanation() const {
    if (m_session == Session::gnome)
        return localized("Switching needs Halvo's GNOME Shell extension. Turn it on in the "
                         "Extensions app; after installing Halvo, log out and back in first.",
                         "Window manager check explanation on GNOME");
    if (m_session == Session::kde)
        return localized("Switching needs Halvo's KWin script, which Halvo loads into KWin when it "
                         "starts. Start Halvo from inside your Plasma session.",
                         "Window manager check explanation on KDE Plasma");
    if (m_session == Session::sway)
        return localized("Switching needs sway's IPC socket (named by SWAYSOCK) to answer. Start "
                         "Halvo from inside sway, for example with \"exec halvo\" in sway's "
                         "config.",
                         "Window manager check explanation on sway");
    return localized("Switching needs a running window manager with EWMH support, such as "
                     "openbox, xfwm4, KWin, Mutter or i3. Start one and Halvo picks it up.",
                     "Window manager check explanation");
}

std::string PermissionHelp::keyboardAccessExplanation() const {
    if (m_session == Session::gnome)
        return localized("Halvo's GNOME Shell extension grabs the shortcut's arrows and holds "
                         "the keyboard while the shortcut is down. A combination GNOME's own "
                         "keyboard shortcuts use is refused; choose another one, or free it in "
                         "GNOME's Keyboard settings.",
                         "Keyboard access check explanation on GNOME");
    if (m_session == Session::kde)
        return localized("Halvo registers its shortcut with KDE's global shortcuts and takes the "
                         "keyboard while the overlay is open. A combination another shortcut "
                         "already uses is refused; choose another one.",
                         "Keyboard access check explanation on KDE Plasma");
    if (m_session == Session::sway)
        return localized("Halvo binds its shortcut as sway key bindings over sway's IPC and takes "
                         "the keyboard while the overlay is open. A combination your sway config "
                         "already binds is refused; choose another one.",
                         "Keyboard access check explanation on sway");
    return localized("Halvo follows the modifier keys through the X server's XKB and XInput2 "
                     "extensions. Run it in an X11 session; under Wayland it cannot see them.",
                     "Keyboard access check explanation");
}

std::string PermissionHelp::permissionsTip() const {
    if (m_session == Session::gnome)
        return localized("Halvo needs its GNOME Shell extension to raise and move app windows and "
                         "to hear its shortcut.",
                         "Usage tip: permissions on GNOME");
    if (m_session == Session::kde)
        return localized("Halvo needs its KWin script to raise and move app windows and KDE's "
                         "global shortcuts for its shortcut.",
                         "Usage tip: permissions on KDE Plasma");
    if (m_session == Session::sway)
        return localized("Halvo needs sway's IPC to raise and move app windows and to bind its "
                         "shortcut; it works in sway only, not in other Wayland compositors.",
                         "Usage tip: permissions on sway");
    return localized("Halvo needs a window manager with EWMH support to raise app windows, and "
                     "keyboard access through XKB and XInput2 so modifier keys are detected while "
                     "other apps are focused.",
                     "Usage tip: permissions");
}

std::string PermissionHelp::showingTip() const {
    if (m_session != Session::x11)
        return localized("Hold your modifier combination and press Left or Right to show the "
                         "minimap. Release it to hide.",
                         "Usage tip: showing the minimap on sway");
    return localized("Hold your modifier combination to show the minimap. Release it to hide.",
                     "Usage tip: showing the minimap");
}

} // namespace halvo
