// The switch flow and the program's shell around it.
#include "app/HalvoController.h"

#include "app/StatusMenu.h"
#include "platform/Localization.h"
#include "platform/RegistrationResult.h"

#include <utility>

namespace halvo {
namespace {

std::string registrationFailureMessage(std::optional<RegistrationResult> refusal) {
    if (refusal == RegistrationResult::takenByConfiguration)
        return localized("Your window manager's own configuration binds this shortcut. Remove that "
                         "binding and reload the configuration, or choose another modifier "
                         "combination.",
                         "Shortcut bound in the window manager's configuration");
    return localized("The shortcut could not be registered. Choose another modifier combination.",
                     "Shortcut registration failure");
}

} // namespace

HalvoController::HalvoController(Platform platform,
                                 std::optional<RunningAppsTracker::Environment> environment)
    : m_platform(std::move(platform)), m_self(std::make_shared<HalvoController*>(this)) {
    Platform& p = m_platform;
    m_overlay = std::make_unique<MinimapPanelController>(p.screens, p.makePanel);
    noteWindowManager(p.permissions.isWindowManagerRunning());
    m_keyboardAccess = p.permissions.hasKeyboardAccess();

    m_activator = std::make_unique<AppActivator>(p.workspace, p.windowControl, p.mainQueue, p.log);
    m_movement = std::make_unique<WindowMovementService>(p.windowControl, p.screens, p.mainQueue,
                                                         p.moveQueue, p.ownPid, p.workspace, p.log);
    m_fullScreen = std::make_unique<WindowFullScreenService>(p.windowControl, p.mainQueue,
                                                             p.fullScreenQueue, p.ownPid);
    // A move the tracker queued may start after this controller (and its services) are gone.
    RunningAppsTracker::Services services{
        p.mainQueue, p.sound,
        [weak = std::weak_ptr<HalvoController*>(m_self)](
            ProcessID pid, const Screen& screen, RunningAppsTracker::MoveCompletion completion) {
            auto self = weak.lock();
            if (!self)
                return;
            (*self)->m_movement->moveWindows(pid, screen,
                                             [completion](WindowMovementService::Result r) {
                                                 completion(r.moved, r.unchanged, r.skipped);
                                             });
        }};
    auto activate = [this](ProcessID pid, std::function<void(bool)> completion) {
        m_activator->activate(pid, std::move(completion), m_stepPressTime);
    };
    if (environment) {
        m_tracker = std::make_unique<RunningAppsTracker>(AppOrderStore(p.defaults),
                                                         std::move(*environment), services);
    } else {
        m_tracker = std::make_unique<RunningAppsTracker>(AppOrderStore(p.defaults), p.workspace,
                                                         activate, services);
    }
    m_preferences = std::make_unique<AppPreferences>(p.defaults);
    m_hotkeys = std::make_unique<HotkeyManager>(m_preferences->modifiers().get(), p.hotkeyRegistrar,
                                                p.eventMonitor, p.mainQueue, p.log);

    m_cancellables.push_back(m_preferences->theme().subscribeWithCurrent(
        [this](const Theme& theme) { m_overlay->setTheme(theme); }));
    std::weak_ptr<HalvoController*> weak = m_self;
    m_overlay->onActivate = [weak](const std::string& bundleID) {
        if (auto self = weak.lock())
            (*self)->m_tracker->activate(bundleID);
    };
    m_overlay->onReorder = [weak](int source, int destination) {
        if (auto self = weak.lock()) {
            (*self)->m_tracker->reorder(source, destination);
            (*self)->syncOverlay();
        }
    };
    // The tracker publishes in the middle of its own changes; the overlay follows once it is done.
    m_cancellables.push_back(m_tracker->apps().subscribe(
        [this](const auto&) { m_platform.mainQueue.post(weakly(&HalvoController::syncOverlay)); }));
    m_cancellables.push_back(m_tracker->selectedBundleID().subscribe(
        [this](const auto&) { m_platform.mainQueue.post(weakly(&HalvoController::syncOverlay)); }));
}

HalvoController::~HalvoController() {
    m_permissionTimer.cancel();
    m_self.reset();
}

std::function<void()> HalvoController::weakly(std::function<void(HalvoController&)> fn) {
    return [weak = std::weak_ptr<HalvoController*>(m_self), fn = std::move(fn)] {
        if (auto self = weak.lock())
            fn(**self);
    };
}

void HalvoController::start() {
    if (!m_statusItem && m_platform.makeStatusItem)
        m_statusItem = m_platform.makeStatusItem();
    if (m_statusItem) {
        StatusMenu::setUp(*m_statusItem, m_preferences->modifiers().get(),
                          m_windowManagerRunning.get(), {});
        rebuildMenu();
    }

    std::weak_ptr<HalvoController*> weak = m_self;
    m_hotkeys->onSwitch = [weak](HotkeyAction action) {
        if (auto self = weak.lock())
            (*self)->handleSwitch(action);
    };
    m_hotkeys->onFullScreen = [weak](bool enter) {
        if (auto self = weak.lock())
            (*self)->handleFullScreen(enter);
    };
    m_hotkeys->onLongPress = [weak](HotkeyAction) {
        if (auto self = weak.lock())
            (*self)->handleLongPress();
    };
    m_hotkeys->onModifiersChanged = [weak](bool held) {
        if (auto self = weak.lock())
            (*self)->handleModifiersChanged(held);
    };
    // Another program holds the combination although its registration went through: the user
    // learns it the same way as of a refused registration.
    m_hotkeys->onShortcutTaken = [weak] {
        if (auto self = weak.lock())
            (*self)->m_hotkeyError = registrationFailureMessage((*self)->m_hotkeys->refusal());
    };
    m_hotkeys->onShortcutRestored = [weak] {
        if (auto self = weak.lock())
            (*self)->m_hotkeyError = std::nullopt;
    };
    if (!m_hotkeys->start())
        m_hotkeyError = registrationFailureMessage(m_hotkeys->refusal());

    noteWindowManager(m_platform.permissions.isWindowManagerRunning());
    m_keyboardAccess = m_platform.permissions.hasKeyboardAccess();
    rebuildMenu();
    if (!m_windowManagerRunning.get())
        m_platform.permissions.isWindowManagerRunningWithPrompt();

    m_permissionTimer.cancel();
    m_permissionTimer = m_platform.mainQueue.scheduleRepeating(
        permissionPollInterval, weakly(&HalvoController::refreshPermissions));
}

void HalvoController::stop() {
    m_hotkeys->stop();
    m_tracker->endSwitching();
    m_permissionTimer.cancel();
    m_permissionTimer = {};
    m_overlay->hide();
}

void HalvoController::syncOverlay() {
    m_overlay->model().apps = m_tracker->apps().get();
    m_overlay->model().highlightedBundleID = m_tracker->selectedBundleID().get();
    m_overlay->updateFrame();
}

void HalvoController::handleModifiersChanged(bool held) {
    if (!m_hotkeys->isSuspended() && held) {
        if (!ensureWindowManager())
            return;
        // A hidden overlay is placed on the pointer's monitor: its query may ride with the
        // refresh's own.
        if (!m_overlay->model().isVisible.get())
            m_platform.screens.expectMouseLocation();
        if (!m_tracker->isSwitching())
            m_tracker->beginSwitching();
        syncOverlay();
        m_overlay->show();
        return;
    }
    m_tracker->endSwitching();
    m_overlay->hide();
}

void HalvoController::handleSwitch(HotkeyAction action) {
    if (m_hotkeys->isSuspended() || !ensureWindowManager())
        return;
    const bool seen = m_hotkeys->shortcutHeld();
    // The step first, its activation delay counted from the arrow's press: not from its
    // handling, nor from after the overlay is framed.
    if (action == HotkeyAction::previous || action == HotkeyAction::next) {
        m_stepPressTime = m_hotkeys->pressTime();
        m_tracker->cycle(action == HotkeyAction::previous);
        m_stepPressTime.reset();
    }
    if (seen) {
        m_overlay->show();
        syncOverlay();
    }
    // Without the combination seen down (no modifier events, or keys held through a resume or a
    // re-registration) nothing will report its release: the step is a switch of its own, or the
    // list would stay frozen and the next overlay show it stale.
    if (!seen)
        m_tracker->endSwitching();
}

void HalvoController::handleLongPress() {
    if (m_hotkeys->isSuspended())
        return;
    if (m_platform.screens.screens().size() < 2)
        return;
    if (!ensureWindowManager())
        return;
    if (const auto& anchor = m_overlay->anchorScreen())
        m_tracker->moveSelectedApp(*anchor);
}

void HalvoController::handleFullScreen(bool enter) {
    if (m_hotkeys->isSuspended() || !ensureWindowManager())
        return;
    const auto pid = fullScreenTarget();
    if (!pid)
        return;
    m_overlay->hide();
    m_fullScreen->setFullScreen(
        enter, *pid,
        [weak = std::weak_ptr<HalvoController*>(m_self)](WindowFullScreenService::Result result) {
            auto self = weak.lock();
            if (!self)
                return;
            if (result == WindowFullScreenService::Result::unavailable ||
                result == WindowFullScreenService::Result::failed)
                (*self)->m_platform.sound.beep();
        });
}

std::optional<ProcessID> HalvoController::fullScreenTarget() {
    // A step's activation lands a moment later; until then the application being left is still
    // frontmost, but the one the step brings forward is meant.
    if (const auto& pending = m_tracker->pendingBundleID()) {
        for (const TrackedApp& app : m_tracker->apps().get()) {
            if (app.bundleIdentifier == *pending)
                return app.processIdentifier;
        }
    }
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost)
        return std::nullopt;
    return frontmost->processIdentifier;
}

bool HalvoController::applyShortcut(ShortcutModifiers modifiers) {
    if (!modifiers.isValid()) {
        m_hotkeyError = localized("Select at least one modifier key.", "Empty shortcut validation");
        return false;
    }
    if (!m_hotkeys->registerHotkeys(modifiers) || !m_hotkeys->start()) {
        m_hotkeyError = registrationFailureMessage(m_hotkeys->refusal());
        return false;
    }
    m_preferences->setModifiers(modifiers);
    m_hotkeyError = std::nullopt;
    m_overlay->hide();
    updateStatusTooltip();
    return true;
}

void HalvoController::setHotkeysSuspended(bool suspended) {
    if (suspended)
        m_hotkeys->suspend();
    else
        m_hotkeys->resume();
}

Subscription HalvoController::observeSettings(std::function<void()> changed) {
    auto shared = std::make_shared<std::function<void()>>(std::move(changed));
    auto theme = std::make_shared<Subscription>(
        m_preferences->theme().subscribe([shared](const Theme&) { (*shared)(); }));
    auto modifiers = std::make_shared<Subscription>(
        m_preferences->modifiers().subscribe([shared](const ShortcutModifiers&) { (*shared)(); }));
    return Subscription([theme, modifiers] {
        theme->reset();
        modifiers->reset();
    });
}

bool HalvoController::ensureWindowManager() {
    const bool trusted = m_platform.permissions.isWindowManagerRunning();
    noteWindowManager(trusted);
    if (trusted)
        return true;
    // The prompt says what is missing on every gesture; the help opens once per absence, not in
    // a new browser tab on every press of the shortcut.
    if (!m_platform.permissions.isWindowManagerRunningWithPrompt() && !m_windowManagerHelpOpened) {
        m_windowManagerHelpOpened = true;
        openWindowManagerHelp();
    }
    rebuildMenu();
    return false;
}

void HalvoController::noteWindowManager(bool trusted) {
    m_windowManagerRunning = trusted;
    if (trusted)
        m_windowManagerHelpOpened = false;
}

void HalvoController::refreshPermissions() {
    noteWindowManager(m_platform.permissions.isWindowManagerRunning());
    m_keyboardAccess = m_platform.permissions.hasKeyboardAccess();
    rebuildMenu();
}

void HalvoController::rebuildMenu() {
    if (!m_statusItem)
        return;
    StatusMenu::Actions actions;
    actions.promptForWindowManager = weakly(&HalvoController::promptForWindowManager);
    actions.promptForKeyboardAccess = weakly(&HalvoController::promptForKeyboardAccess);
    actions.openPreferences = weakly(&HalvoController::openPreferences);
    actions.openAbout = weakly(&HalvoController::openAbout);
    actions.quitApp = weakly(&HalvoController::quitApp);
    m_statusItem->setMenu(StatusMenu::build(m_windowManagerRunning.get(), actions));
}

void HalvoController::updateStatusTooltip() {
    if (m_statusItem)
        m_statusItem->setToolTip(StatusMenu::toolTip(m_preferences->modifiers().get()));
}

void HalvoController::promptForWindowManager() {
    if (!m_platform.permissions.isWindowManagerRunningWithPrompt())
        openWindowManagerHelp();
}

void HalvoController::promptForKeyboardAccess() {
    openKeyboardAccessHelp();
}

SettingsLinks::Opener HalvoController::opener() {
    if (m_platform.openURL)
        return m_platform.openURL;
    return [this](const std::string& url) { return m_platform.workspace.openURL(url); };
}

void HalvoController::openWindowManagerHelp() {
    const auto pane = m_platform.links.windowManagerPane();
    SettingsLinks::openSettingsPane(pane.primary, pane.fallback, opener());
}

void HalvoController::openKeyboardAccessHelp() {
    const auto pane = m_platform.links.keyboardAccessPane();
    SettingsLinks::openSettingsPane(pane.primary, pane.fallback, opener());
}

void HalvoController::openPreferences() {
    if (m_platform.showPreferences)
        m_platform.showPreferences();
}

void HalvoController::openAbout() {
    if (m_platform.showAbout)
        m_platform.showAbout();
}

void HalvoController::quitApp() {
    stop();
    if (m_platform.terminate)
        m_platform.terminate();
}

} // namespace halvo
