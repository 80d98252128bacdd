// Simulated shortcuts for the logic's tests.
#include "platform/sim/SimHotkeyRegistrar.h"

#include <algorithm>

namespace halvo {
namespace {

std::string arrowName(Key key) {
    switch (key) {
    case Key::left:
        return "←";
    case Key::right:
        return "→";
    case Key::up:
        return "↑";
    case Key::down:
        return "↓";
    case Key::escape:
        return "Escape";
    }
    return "?";
}

} // namespace

std::optional<std::string> SimHotkeyRegistrar::listen(Handler handler) {
    if (m_listenError)
        return m_listenError;
    m_handler = std::move(handler);
    return std::nullopt;
}

void SimHotkeyRegistrar::stopListening() {
    m_handler = nullptr;
}

HotkeyRegistrar::Registration SimHotkeyRegistrar::registerShortcut(HotkeyAction action,
                                                                   Modifiers modifiers) {
    const Shortcut shortcut{key(action), modifiers};
    const std::size_t index = m_registerCalls.size();
    m_registerCalls.push_back(shortcut);
    m_callLog.push_back("register " + arrowName(shortcut.key));
    if (auto failure = m_failures.find(index); failure != m_failures.end())
        return {failure->second, 0};
    const auto owned = std::find_if(m_ownedElsewhere.begin(), m_ownedElsewhere.end(),
                                    [&](const auto& entry) { return entry.first == shortcut; });
    if (owned != m_ownedElsewhere.end())
        return {owned->second, 0};
    if (isRegistered(shortcut.key, modifiers))
        return {RegistrationResult::takenByAnotherProgram, 0};
    const ShortcutRef ref = m_nextRef++;
    m_registrations.emplace(ref, Entry{shortcut, action});
    return {RegistrationResult::registered, ref};
}

void SimHotkeyRegistrar::unregisterShortcut(ShortcutRef ref) {
    ++m_unregisterCalls;
    auto found = m_registrations.find(ref);
    m_callLog.push_back("unregister " + (found == m_registrations.end()
                                             ? "?"
                                             : arrowName(found->second.shortcut.key)));
    if (found != m_registrations.end())
        m_registrations.erase(found);
}

void SimHotkeyRegistrar::failRegistration(std::size_t nth, RegistrationResult result) {
    m_failures[m_registerCalls.size() + nth - 1] = result;
}

void SimHotkeyRegistrar::ownElsewhere(Key key, Modifiers modifiers, RegistrationResult result) {
    m_ownedElsewhere.push_back({{key, modifiers}, result});
}

void SimHotkeyRegistrar::freeElsewhere(Key key, Modifiers modifiers) {
    std::erase_if(m_ownedElsewhere, [&](const auto& entry) {
        return entry.first == Shortcut{key, modifiers};
    });
}

bool SimHotkeyRegistrar::press(Key key, Modifiers modifiers) {
    return deliverFor(key, modifiers, Event::Kind::pressed);
}

bool SimHotkeyRegistrar::release(Key key, Modifiers modifiers) {
    return deliverFor(key, modifiers, Event::Kind::released);
}

bool SimHotkeyRegistrar::takeElsewhere(Key key, Modifiers modifiers, Event::Kind kind) {
    return deliverFor(key, modifiers, kind);
}

bool SimHotkeyRegistrar::announceAvailable() {
    if (!m_handler)
        return false;
    Handler handler = m_handler;
    handler(Event{Event::Kind::available, HotkeyAction::previous, m_eventAge});
    return true;
}

bool SimHotkeyRegistrar::deliverFor(Key key, Modifiers modifiers, Event::Kind kind) {
    if (!m_handler)
        return false;
    for (const auto& [ref, entry] : m_registrations) {
        if (entry.shortcut == Shortcut{key, modifiers}) {
            Handler handler = m_handler; // a copy: the handler may stop listening
            handler(Event{kind, entry.action, m_eventAge});
            return true;
        }
    }
    return false;
}

std::vector<SimHotkeyRegistrar::Shortcut> SimHotkeyRegistrar::registered() const {
    std::vector<Shortcut> result;
    for (const auto& [ref, entry] : m_registrations)
        result.push_back(entry.shortcut);
    return result;
}

bool SimHotkeyRegistrar::isRegistered(Key key, Modifiers modifiers) const {
    return std::any_of(m_registrations.begin(), m_registrations.end(), [&](const auto& entry) {
        return entry.second.shortcut == Shortcut{key, modifiers};
    });
}

} // namespace halvo
