// Wires the program together: the switch (overlay shown while the modifiers are held, Left and
// Right stepping the selection, release ending it), long-press window moves, full-screen
// requests, the overlay kept in step with the tracker, the status menu, the permission poll and
// the shortcut error that the Preferences window shows.
#pragma once

#include "app/SettingsLinks.h"
#include "core/AppActivator.h"
#include "core/RunningAppsTracker.h"
#include "input/HotkeyManager.h"
#include "minimap/MinimapPanelController.h"
#include "platform/BackgroundQueue.h"
#include "platform/EventMonitor.h"
#include "platform/HotkeyRegistrar.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Permissions.h"
#include "platform/Published.h"
#include "platform/Screens.h"
#include "platform/StatusItem.h"
#include "platform/SystemSound.h"
#include "platform/UserDefaults.h"
#include "platform/WindowControl.h"
#include "platform/Workspace.h"
#include "settings/AppPreferences.h"
#include "settings/PermissionHelp.h"
#include "settings/PreferencesBackend.h"
#include "windows/WindowFullScreenService.h"
#include "windows/WindowMovementService.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class HalvoController final : public PreferencesBackend {
public:
    static constexpr double permissionPollInterval = 2.0;

    // Everything the controller asks of the desktop.
    struct Platform {
        MainQueue& mainQueue;
        Workspace& workspace;
        WindowControl& windowControl;
        Screens& screens;
        HotkeyRegistrar& hotkeyRegistrar;
        EventMonitor& eventMonitor;
        UserDefaults& defaults;
        SystemSound& sound;
        Log& log;
        Permissions& permissions;
        BackgroundQueue& moveQueue;       // window moves
        BackgroundQueue& fullScreenQueue; // serial: full-screen changes in request order
        ProcessID ownPid;
        SettingsLinks links;
        MinimapPanelController::PanelFactory makePanel;
        std::function<std::unique_ptr<StatusItem>()> makeStatusItem;
        std::function<void()> showPreferences; // creates the window once, then brings it forward
        std::function<void()> showAbout;
        std::function<void()> terminate; // ends the program's event loop
        // Opens a settings link; true when it was opened. Unset: the workspace's opener.
        std::function<bool(const std::string& url)> openURL;
        // The session's terms for the two checks, shown in Preferences.
        PermissionHelp permissionHelp{};
    };

    // With an injected tracker environment (tests) the tracker observes no workspace.
    explicit HalvoController(Platform platform,
                             std::optional<RunningAppsTracker::Environment> environment = {});
    ~HalvoController() override;
    HalvoController(const HalvoController&) = delete;
    HalvoController& operator=(const HalvoController&) = delete;

    // Status item and menu, hot keys, permissions (prompting once when no window manager runs)
    // and the 2-second permission poll. The program keeps running without a shortcut when the
    // hot keys cannot be had; hotkeyError then says so.
    void start();
    // Hot keys, handler and monitors removed, switch ended, poll stopped, overlay hidden. Harmless
    // when repeated.
    void stop();

    // Copies the tracker's list and selection into the overlay and re-frames it.
    void syncOverlay();
    // Whether a window manager runs; when not, prompts, opens its help when the prompt
    // finds none, and rebuilds the menu.
    bool ensureWindowManager();

    // Menu actions.
    void openPreferences();
    void openAbout();
    void quitApp();
    void promptForKeyboardAccess();

    RunningAppsTracker& tracker() { return *m_tracker; }
    HotkeyManager& hotkeys() { return *m_hotkeys; }
    AppPreferences& preferences() { return *m_preferences; }
    MinimapPanelController& overlay() { return *m_overlay; }
    StatusItem* statusItem() { return m_statusItem.get(); }
    bool isPermissionPollRunning() const { return m_permissionTimer.isValid(); }

    // PreferencesBackend
    Published<bool>& windowManagerRunning() override { return m_windowManagerRunning; }
    Published<bool>& keyboardAccess() override { return m_keyboardAccess; }
    Published<std::optional<std::string>>& hotkeyError() override { return m_hotkeyError; }
    PermissionHelp permissionHelp() const override { return m_platform.permissionHelp; }
    Theme theme() const override { return m_preferences->theme().get(); }
    void setTheme(Theme theme) override { m_preferences->setTheme(theme); }
    ShortcutModifiers modifiers() const override { return m_preferences->modifiers().get(); }
    [[nodiscard]] Subscription observeSettings(std::function<void()> changed) override;
    bool applyShortcut(ShortcutModifiers modifiers) override;
    void setHotkeysSuspended(bool suspended) override;
    void promptForWindowManager() override;
    void openKeyboardAccessHelp() override;
    void refreshPermissions() override;
    void rebuildMenu() override;

private:
    void handleModifiersChanged(bool held);
    void handleSwitch(HotkeyAction action);
    void handleLongPress();
    void handleFullScreen(bool enter);
    // What Up and Down act on: the application an activation in flight brings forward, else the
    // frontmost one.
    std::optional<ProcessID> fullScreenTarget();
    // Records what the permission check saw; trust seen again ends the absence in which the help
    // was opened.
    void noteWindowManager(bool trusted);
    void updateStatusTooltip();
    void openWindowManagerHelp();
    SettingsLinks::Opener opener();
    // Runs fn later on the main queue, only while this controller exists.
    std::function<void()> weakly(std::function<void(HalvoController&)> fn);

    Platform m_platform;
    std::shared_ptr<HalvoController*> m_self;

    std::unique_ptr<MinimapPanelController> m_overlay;
    Published<bool> m_windowManagerRunning{false};
    Published<bool> m_keyboardAccess{false};
    Published<std::optional<std::string>> m_hotkeyError;
    std::unique_ptr<AppActivator> m_activator;
    // While a step from the keyboard runs: when its arrow went down.
    std::optional<double> m_stepPressTime;
    std::unique_ptr<WindowMovementService> m_movement;
    std::unique_ptr<WindowFullScreenService> m_fullScreen;
    std::unique_ptr<RunningAppsTracker> m_tracker;
    std::unique_ptr<AppPreferences> m_preferences;
    std::unique_ptr<HotkeyManager> m_hotkeys;
    std::vector<Subscription> m_cancellables;
    WorkItem m_permissionTimer;
    std::unique_ptr<StatusItem> m_statusItem;
    // The help was opened during the current absence of a window manager.
    bool m_windowManagerHelpOpened = false;
};

} // namespace halvo
