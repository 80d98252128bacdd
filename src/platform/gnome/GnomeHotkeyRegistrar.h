// Hot keys in GNOME Shell: the extension grabs each arrow with the combination as a mutter
// accelerator and reports its presses (with the arrow's repeat, dropped here: a held arrow is one
// press). Mutter grants no accelerator that GNOME's own keyboard shortcuts already bind (stock
// GNOME binds Control+Alt+arrows to switch workspaces): such a combination is refused as taken
// by the configuration, so that the user hears of it as of a refused grab on X11.
#pragma once

#include "platform/HotkeyRegistrar.h"

#include <map>
#include <string>

namespace halvo {

class GnomeShellClient;
class GnomeEventMonitor;

class GnomeHotkeyRegistrar final : public HotkeyRegistrar {
public:
    // Main thread; both outlive the registrar.
    GnomeHotkeyRegistrar(GnomeShellClient& shell, GnomeEventMonitor& monitor);
    ~GnomeHotkeyRegistrar() override;
    GnomeHotkeyRegistrar(const GnomeHotkeyRegistrar&) = delete;
    GnomeHotkeyRegistrar& operator=(const GnomeHotkeyRegistrar&) = delete;

    std::optional<std::string> listen(Handler handler) override;
    void stopListening() override;
    // takenByConfiguration when GNOME's shortcuts hold the combination; failed without
    // modifiers or without an answer.
    Registration registerShortcut(HotkeyAction action, Modifiers modifiers) override;
    void unregisterShortcut(ShortcutRef ref) override;
    std::string configurationName() const override { return "GNOME's keyboard shortcuts"; }

    // "<Control><Alt>Left": the combination as mutter's accelerators read it.
    static std::string accelerator(HotkeyAction action, Modifiers modifiers);

private:
    void pressed(uint action, bool repeat, uint modifiers);

    GnomeShellClient& m_shell;
    GnomeEventMonitor& m_monitor;
    Handler m_handler;
    ShortcutRef m_nextRef = 1;
    std::map<ShortcutRef, HotkeyAction> m_grabbed;
};

} // namespace halvo
