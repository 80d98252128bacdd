// Registration, press/release and modifier tracking of the global shortcut.
#include "input/HotkeyManager.h"

#include <algorithm>
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

// "Ctrl+Alt+→": the combination with the action's arrow.
std::string shortcutName(ShortcutModifiers modifiers, HotkeyAction action) {
    return modifiers.displayString() + "+" + arrowSymbol(action);
}

} // namespace

HotkeyManager::HotkeyManager(ShortcutModifiers modifiers, HotkeyRegistrar& registrar,
                             EventMonitor& monitor, MainQueue& mainQueue, Log& log)
    : m_registrar(registrar), m_monitor(monitor), m_mainQueue(mainQueue), m_log(log),
      m_modifiers(modifiers.isValid() ? modifiers : ShortcutModifiers::defaultCombination),
      m_lifetime(std::make_shared<HotkeyManager*>(this)) {}

HotkeyManager::~HotkeyManager() {
    stop();
}

bool HotkeyManager::start() {
    if (m_listening)
        return m_hotkeys.size() == allHotkeyActions.size();
    if (!listen())
        return false;
    const bool registered = registerHotkeys(m_modifiers);
    // A combination the desktop's configuration holds may be freed by a reload of it: the
    // registrar, listened to, then says so.
    if (!registered && m_refusal != RegistrationResult::takenByConfiguration) {
        stop();
        return false;
    }
    addMonitor();
    return registered;
}

void HotkeyManager::addMonitor() {
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    EventMonitor::Handlers handlers;
    handlers.modifiersChanged = [weak](Modifiers held) {
        if (auto self = weak.lock())
            (*self)->handleModifiersChanged(held);
    };
    handlers.keyReleased = [weak](Key key) {
        if (auto self = weak.lock())
            (*self)->handleKeyReleased(key);
    };
    m_keyboardMonitor = m_monitor.addMonitor(std::move(handlers));
}

bool HotkeyManager::listen() {
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    const std::optional<std::string> error =
        m_registrar.listen([weak](const HotkeyRegistrar::Event& event) {
            if (auto self = weak.lock())
                (*self)->handleShortcutEvent(event);
        });
    if (error) {
        m_log.write("Halvo: Could not listen to the keyboard: " + *error);
        return false;
    }
    m_listening = true;
    return true;
}

bool HotkeyManager::registerHotkeys(ShortcutModifiers newModifiers) {
    if (!newModifiers.isValid())
        return false;
    if (newModifiers == m_modifiers && m_hotkeys.size() == allHotkeyActions.size())
        return true;

    std::map<HotkeyAction, HotkeyRegistrar::ShortcutRef> registered;
    for (HotkeyAction action : allHotkeyActions) {
        const HotkeyRegistrar::Registration registration =
            m_registrar.registerShortcut(action, newModifiers.keys());
        if (registration.result != RegistrationResult::registered || registration.ref == 0) {
            for (const auto& [done, doneRef] : registered)
                m_registrar.unregisterShortcut(doneRef);
            // Names the combination that was refused, so a clash with another program's shortcut
            // can be found in the log.
            m_refusal = registration.result;
            m_log.write("Halvo: Could not register the shortcut " +
                        shortcutName(newModifiers, action) + ": " +
                        refusalReason(registration.result, false));
            return false;
        }
        registered.emplace(action, registration.ref);
    }

    cancelLongPress();
    for (const auto& [action, ref] : m_hotkeys)
        m_registrar.unregisterShortcut(ref);
    m_hotkeys = std::move(registered);
    m_modifiers = newModifiers;
    m_refusal.reset();
    m_shortcutHeld = false;
    if (onModifiersChanged)
        onModifiersChanged(false);
    return true;
}

std::string HotkeyManager::refusalReason(RegistrationResult why, bool afterRegistration) const {
    switch (why) {
    case RegistrationResult::takenByAnotherProgram:
        return afterRegistration ? "another program takes its presses"
                                 : "another program already uses it";
    case RegistrationResult::takenByConfiguration:
        return m_registrar.configurationName() + " binds it";
    case RegistrationResult::registered:
    case RegistrationResult::failed:
        break;
    }
    return "the desktop refused it";
}

void HotkeyManager::releaseHotkeys() {
    cancelLongPress();
    m_shortcutHeld = false;
    for (const auto& [action, ref] : m_hotkeys)
        m_registrar.unregisterShortcut(ref);
    m_hotkeys.clear();
}

void HotkeyManager::stop() {
    releaseHotkeys();
    if (m_listening) {
        m_registrar.stopListening();
        m_listening = false;
    }
    if (m_keyboardMonitor) {
        m_monitor.removeMonitor(*m_keyboardMonitor);
        m_keyboardMonitor.reset();
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

void HotkeyManager::handleShortcutEvent(const HotkeyRegistrar::Event& event) {
    std::weak_ptr<HotkeyManager*> weak = m_lifetime;
    const double eventTime = m_mainQueue.now() - std::max(event.age, 0.0);
    m_mainQueue.post([weak, event, eventTime] {
        auto self = weak.lock();
        if (!self)
            return;
        switch (event.kind) {
        case HotkeyRegistrar::Event::Kind::pressed:
            (*self)->handlePress(event.action, eventTime);
            return;
        case HotkeyRegistrar::Event::Kind::released:
            (*self)->handleRelease(event.action);
            return;
        case HotkeyRegistrar::Event::Kind::takenByAnotherProgram:
            (*self)->handleShortcutTaken(event.action, RegistrationResult::takenByAnotherProgram);
            return;
        case HotkeyRegistrar::Event::Kind::takenByConfiguration:
            (*self)->handleShortcutTaken(event.action, RegistrationResult::takenByConfiguration);
            return;
        case HotkeyRegistrar::Event::Kind::available:
            (*self)->handleAvailable();
            return;
        }
    });
}

void HotkeyManager::handlePress(HotkeyAction action, double pressTime) {
    if (m_isSuspended)
        return;
    if (m_pressedAction == action)
        return; // the key is still down: a repeated press
    cancelLongPress();
    m_pressedAction = action;
    m_pressTime = pressTime;

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

void HotkeyManager::handleShortcutTaken(HotkeyAction action, RegistrationResult why) {
    if (m_hotkeys.empty())
        return; // already stopped: the other program's later presses say nothing new
    m_refusal = why;
    m_log.write("Halvo: Could not register the shortcut " + shortcutName(m_modifiers, action) +
                ": " + refusalReason(why, true));
    const bool held = m_shortcutHeld;
    // The desktop's configuration may give the keys back on its next reload: the registrar, still
    // listened to, will say so.
    if (why == RegistrationResult::takenByConfiguration)
        releaseHotkeys();
    else
        stop();
    // No hot key reports the shortcut's release any more: an open switch is closed now.
    if (held && onModifiersChanged)
        onModifiersChanged(false);
    if (onShortcutTaken)
        onShortcutTaken();
}

void HotkeyManager::handleAvailable() {
    if (!m_listening || m_refusal != RegistrationResult::takenByConfiguration ||
        m_hotkeys.size() == allHotkeyActions.size())
        return;
    if (!registerHotkeys(m_modifiers))
        return; // logged, and still waiting
    m_log.write("Halvo: The shortcut " + m_modifiers.displayString() +
                " works again: the desktop's configuration no longer binds it");
    if (onShortcutRestored)
        onShortcutRestored();
}

void HotkeyManager::handleKeyReleased(Key key) {
    // Catches arrow releases that no released shortcut event reports, for example when the
    // modifiers came up before the arrow.
    const std::optional<HotkeyAction> action = hotkeyActionForKey(key);
    if (action && m_pressedAction == action)
        cancelLongPress();
}

void HotkeyManager::handleModifiersChanged(Modifiers held) {
    // Without hot keys (the desktop's configuration holds them) no switch opens.
    if (m_isSuspended || m_hotkeys.empty())
        return;
    if (!m_modifiers.isValid()) {
        if (!m_shortcutHeld)
            return;
        m_shortcutHeld = false;
        cancelLongPress();
        reportModifiers(false);
        return;
    }

    // Exact over the four keys: Control + Alt is not held while Shift is also down.
    const bool exact = held == m_modifiers.keys();
    if (exact == m_shortcutHeld)
        return;
    m_shortcutHeld = exact;
    if (!exact)
        cancelLongPress();
    reportModifiers(exact);
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
