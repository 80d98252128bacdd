// The global shortcut: four hot keys (the chosen modifiers with each arrow), the exact modifier
// combination going down and up, and the long press of Left or Right.
#pragma once

#include "input/ShortcutModifiers.h"
#include "platform/EventMonitor.h"
#include "platform/HotkeyAction.h"
#include "platform/HotkeyRegistrar.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/WorkItem.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace halvo {

class HotkeyManager {
public:
    static constexpr double longPressDelay = 0.6;

    // An invalid combination falls back to Control + Alt. Nothing is registered yet.
    HotkeyManager(ShortcutModifiers modifiers, HotkeyRegistrar& registrar, EventMonitor& monitor,
                  MainQueue& mainQueue, Log& log);
    // Runs stop().
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    // Called on the main thread, after the event that caused them has been handled.
    std::function<void(HotkeyAction)> onSwitch;    // Left or Right was pressed
    std::function<void(HotkeyAction)> onLongPress; // Left or Right held for longPressDelay
    std::function<void(bool)> onFullScreen;        // Up (true) or Down (false) was pressed
    std::function<void(bool)> onModifiersChanged;  // the exact combination went down / came up
    // Another program takes the combination's presses although the registration succeeded: logged
    // like a refused registration, the manager is stopped and an open switch closed. When the
    // desktop's own configuration took them (refusal() says so), the manager only gives up its hot
    // keys: it keeps listening, and registers them again once the registrar says they are free.
    std::function<void()> onShortcutTaken;
    // The combination refused as bound in the desktop's configuration is registered again (the
    // configuration was reloaded without that binding); logged.
    std::function<void()> onShortcutRestored;

    // Listens to the keyboard, registers the four hot keys and adds the monitor. True when Halvo
    // listens and all four hot keys are registered; on failure nothing stays behind, except
    // when the desktop's configuration holds the combination: then Halvo listens on, waiting for
    // the configuration to free it. While running, only reports whether four hot keys are
    // registered.
    bool start();

    // Swaps to a new combination, all or nothing: the new hot keys are registered before the old
    // ones are released, so a failure leaves the old combination working. False for an invalid
    // combination, without touching the platform.
    bool registerHotkeys(ShortcutModifiers newModifiers);

    // Removes hot keys, listening and monitor. `modifiers` stays; onModifiersChanged is not
    // called.
    void stop();

    // Cancels a pending long press and forgets the pressed arrow.
    void cancelLongPress();

    // Recording a new combination: presses and modifier changes are ignored, an open switch is
    // closed (onModifiersChanged(false) at once). resume() only clears the suspension.
    void suspend();
    void resume();

    bool isSuspended() const { return m_isSuspended; }
    bool shortcutHeld() const { return m_shortcutHeld; }
    ShortcutModifiers modifiers() const { return m_modifiers; }
    std::optional<HotkeyAction> pressedAction() const { return m_pressedAction; }
    // When the arrow of the latest press went down, on the main queue's clock: earlier than its
    // handling by the time the event took to arrive, as far as the desktop tells.
    double pressTime() const { return m_pressTime; }
    // Why the latest registration of the combination failed, or its hot keys were taken; nothing
    // once a registration went through.
    std::optional<RegistrationResult> refusal() const { return m_refusal; }

private:
    bool listen();
    void handleShortcutEvent(const HotkeyRegistrar::Event& event);
    void handlePress(HotkeyAction action, double pressTime);
    void handleRelease(HotkeyAction action);
    void handleShortcutTaken(HotkeyAction action, RegistrationResult why);
    void handleAvailable();
    void addMonitor();
    void releaseHotkeys();
    std::string refusalReason(RegistrationResult why, bool afterRegistration) const;
    void handleKeyReleased(Key key);
    void handleModifiersChanged(Modifiers held);
    void reportModifiers(bool held);

    HotkeyRegistrar& m_registrar;
    EventMonitor& m_monitor;
    MainQueue& m_mainQueue;
    Log& m_log;

    bool m_isSuspended = false;
    std::optional<HotkeyAction> m_pressedAction;
    double m_pressTime = 0;
    WorkItem m_longPressWork;
    ShortcutModifiers m_modifiers;
    bool m_listening = false;
    std::map<HotkeyAction, HotkeyRegistrar::ShortcutRef> m_hotkeys;
    std::optional<MonitorToken> m_keyboardMonitor;
    bool m_shortcutHeld = false;
    std::optional<RegistrationResult> m_refusal;

    // Blocks, handlers and the long-press work hold this weakly: once the manager is gone they
    // find it expired and do nothing.
    std::shared_ptr<HotkeyManager*> m_lifetime;
};

} // namespace halvo
