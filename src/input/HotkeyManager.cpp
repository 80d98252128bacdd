// Registration, press/release and modifier tracking of the global shortcut.
#include "input/HotkeyManager.h"

#include <string>
#include <utility>

namespace halvo {
namespace {

const char* arrowSymbol(HotkeyAction action) {
    switch (action) {
    case HotkeyAction::previous:
        return "←";
    case HotkeyAction::next:
        return "→";
    case HotkeyAction::enterFullScreen:
        return "↑";
    case HotkeyAction::exitFullScreen:
        return "↓";
    }
    return "";
}

} // namespace

HotkeyManager::HotkeyManager(ShortcutModifiers modifiers, HotkeyRegistrar& registrar,
                             EventMonitor& monitor, MainQueue& mainQueue, Log& log,
                             RegisterHotkey registerHotkey, UnregisterHotkey unregisterHotkey)
    : m_registrar(registrar), m_monitor(monitor), m_mainQueue(mainQueue), m_log(log),
      m_registerHotkey(std::move(registerHotkey)), m_unregisterHotkey(std::move(unregisterHotkey)),
      m_modifiers(modifiers.isValid() ? modifiers : ShortcutModifiers::defaultCombination),
      m_lifetime(std::make_shared<HotkeyManager*>(this)) {
    if (!m_registerHotkey) {
        m_registerHotkey = [&registrar](std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                        EventHotKeyID id, EventHotKeyRef& ref) {
            return registrar.registerEventHotKey(keyCode, carbonModifiers, id, ref);
        };
    }
    if (!m_unregisterHotkey) {
        m_unregisterHotkey = [&registrar](EventHotKeyRef ref) {
            registrar.unregisterEventHotKey(ref);
        };
    }
}

HotkeyManager::~HotkeyManager() {
    stop();
}

bool HotkeyManager::start() {
    if (m_eventHandler)
        return m_hotkeys.size() == allHotkeyActions.size();
    if (!installEventHandler())
        return false;
    if (!registerHotkeys(m_modifiers)) {
        stop();
        return false;
    }

    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    m_localMonitor = m_monitor.addLocalMonitor(monitorMask, [weak](const MonitoredEvent& event) {
        if (auto self = weak.lock())
            (*self)->handleMonitoredEvent(event);
    });
    m_globalMonitor = m_monitor.addGlobalMonitor(monitorMask, [weak](const MonitoredEvent& event) {
        if (auto self = weak.lock())
            (*self)->handleMonitoredEvent(event);
    });
    return true;
}

bool HotkeyManager::installEventHandler() {
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    EventHandlerRef ref = 0;
    const OSStatus status = m_registrar.installEventHandler(
        [weak](const HotkeyEvent& event) -> OSStatus {
            auto self = weak.lock();
            if (!self)
                return noErr;
            return (*self)->handleHotkeyEvent(event);
        },
        ref);
    if (status != noErr) {
        m_log.write("Halvo: InstallEventHandler failed: " + std::to_string(status));
        return false;
    }
    m_eventHandler = ref;
    return true;
}

bool HotkeyManager::registerHotkeys(ShortcutModifiers newModifiers) {
    if (!newModifiers.isValid())
        return false;
    if (newModifiers == m_modifiers && m_hotkeys.size() == allHotkeyActions.size())
        return true;

    std::map<HotkeyAction, EventHotKeyRef> registered;
    for (HotkeyAction action : allHotkeyActions) {
        EventHotKeyRef ref = 0;
        const OSStatus status = m_registerHotkey(keyCode(action), newModifiers.carbonModifiers(),
                                                 EventHotKeyID{signature, rawValue(action)}, ref);
        if (status != noErr || ref == 0) {
            for (const auto& [done, doneRef] : registered)
                m_unregisterHotkey(doneRef);
            // Names the combination that was refused, so a clash with another program's shortcut
            // can be found in the log.
            const std::string reason = status == eventHotKeyExistsErr
                                           ? "another program already uses it"
                                           : "status " + std::to_string(status);
            m_log.write("Halvo: Could not register the shortcut " + newModifiers.displayString() +
                        arrowSymbol(action) + ": " + reason);
            return false;
        }
        registered.emplace(action, ref);
    }

    cancelLongPress();
    for (const auto& [action, ref] : m_hotkeys)
        m_unregisterHotkey(ref);
    m_hotkeys = std::move(registered);
    m_modifiers = newModifiers;
    m_shortcutHeld = false;
    if (onModifiersChanged)
        onModifiersChanged(false);
    return true;
}

void HotkeyManager::stop() {
    cancelLongPress();
    m_shortcutHeld = false;
    for (const auto& [action, ref] : m_hotkeys)
        m_unregisterHotkey(ref);
    m_hotkeys.clear();
    if (m_eventHandler) {
        m_registrar.removeEventHandler(*m_eventHandler);
        m_eventHandler.reset();
    }
    if (m_localMonitor) {
        m_monitor.removeMonitor(*m_localMonitor);
        m_localMonitor.reset();
    }
    if (m_globalMonitor) {
        m_monitor.removeMonitor(*m_globalMonitor);
        m_globalMonitor.reset();
    }
}

void HotkeyManager::cancelLongPress() {
    m_longPressWork.cancel();
    m_longPressWork = WorkItem();
    m_pressedAction.reset();
}

void HotkeyManager::suspend() {
    m_isSuspended = true;
    cancelLongPress();
    m_shortcutHeld = false;
    if (onModifiersChanged)
        onModifiersChanged(false);
}

void HotkeyManager::resume() {
    m_isSuspended = false;
}

OSStatus HotkeyManager::handleHotkeyEvent(const HotkeyEvent& event) {
    if (event.parameterStatus != noErr || event.hotKeyID.signature != signature)
        return event.parameterStatus;
    const std::optional<HotkeyAction> action = hotkeyActionFromRawValue(event.hotKeyID.id);
    if (!action)
        return event.parameterStatus;

    const std::uint32_t kind = event.kind;
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    m_mainQueue.post([weak, kind, action = *action] {
        auto self = weak.lock();
        if (!self)
            return;
        if (kind == kEventHotKeyTaken)
            (*self)->handleTaken(action);
        else if (kind == kEventHotKeyReleased)
            (*self)->handleRelease(action);
        else
            (*self)->handlePress(action);
    });
    return event.parameterStatus;
}

void HotkeyManager::handleTaken(HotkeyAction action) {
    if (m_hotkeys.empty())
        return; // already stopped: the other program's later presses say nothing new
    m_log.write("Halvo: Could not register the shortcut " + m_modifiers.displayString() +
                arrowSymbol(action) + ": another program takes its presses");
    const bool held = m_shortcutHeld;
    stop();
    // The modifier monitors are gone with stop(): the open switch is closed now.
    if (held && onModifiersChanged)
        onModifiersChanged(false);
    if (onShortcutTaken)
        onShortcutTaken();
}

void HotkeyManager::handlePress(HotkeyAction action) {
    if (m_isSuspended)
        return;
    if (m_pressedAction == action)
        return; // the key is still down: a repeated press
    cancelLongPress();
    m_pressedAction = action;

    if (action == HotkeyAction::enterFullScreen || action == HotkeyAction::exitFullScreen) {
        if (onFullScreen)
            onFullScreen(action == HotkeyAction::enterFullScreen);
        return;
    }

    if (onSwitch)
        onSwitch(action);
    // The work neither clears the pressed action nor reschedules itself: one press gives at most
    // one long press.
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    m_longPressWork = m_mainQueue.postAfter(longPressDelay, [weak, action] {
        auto self = weak.lock();
        if (!self)
            return;
        HotkeyManager& manager = **self;
        if (!manager.m_isSuspended && manager.m_pressedAction == action && manager.onLongPress)
            manager.onLongPress(action);
    });
}

void HotkeyManager::handleRelease(HotkeyAction action) {
    if (m_pressedAction == action)
        cancelLongPress();
}

void HotkeyManager::handleMonitoredEvent(const MonitoredEvent& event) {
    if (event.type == NSEventTypeFlagsChanged) {
        handleFlagsChanged(event.modifierFlags);
        return;
    }
    if (event.type != NSEventTypeKeyUp)
        return;
    // Catches arrow releases that no released hot-key event reports, for example when the
    // modifiers came up before the arrow.
    const std::optional<HotkeyAction> action = hotkeyActionForKeyCode(event.keyCode);
    if (action && m_pressedAction == action)
        cancelLongPress();
}

void HotkeyManager::handleFlagsChanged(std::uint64_t flags) {
    if (m_isSuspended)
        return;
    if (!m_modifiers.isValid()) {
        if (!m_shortcutHeld)
            return;
        m_shortcutHeld = false;
        cancelLongPress();
        reportModifiers(false);
        return;
    }

    const bool held =
        (flags & ShortcutModifiers::modifierFlagsMask) == m_modifiers.eventModifierFlags();
    if (held == m_shortcutHeld)
        return;
    m_shortcutHeld = held;
    if (!held)
        cancelLongPress();
    reportModifiers(held);
}

void HotkeyManager::reportModifiers(bool held) {
    // Reported later, and only if still true then: a press and a release that both arrive before
    // the report runs report only the final state.
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    m_mainQueue.post([weak, held] {
        auto self = weak.lock();
        if (!self)
            return;
        HotkeyManager& manager = **self;
        if (!manager.m_isSuspended && manager.m_shortcutHeld == held && manager.onModifiersChanged)
            manager.onModifiersChanged(held);
    });
}

} // namespace halvo
