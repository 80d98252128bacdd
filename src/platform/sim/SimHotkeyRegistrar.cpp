// Simulated hot keys for the logic's tests.
#include "platform/sim/SimHotkeyRegistrar.h"

#include <algorithm>

namespace halvo {

OSStatus SimHotkeyRegistrar::installEventHandler(Handler handler, EventHandlerRef& ref) {
    if (m_installStatus != noErr)
        return m_installStatus;
    m_handler = std::move(handler);
    m_handlerRef = m_nextRef++;
    ref = m_handlerRef;
    return noErr;
}

OSStatus SimHotkeyRegistrar::removeEventHandler(EventHandlerRef ref) {
    if (ref == 0 || ref != m_handlerRef)
        return paramErr;
    m_handler = nullptr;
    m_handlerRef = 0;
    return noErr;
}

OSStatus SimHotkeyRegistrar::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                 EventHotKeyID id, EventHotKeyRef& ref) {
    const std::size_t index = m_registerCalls.size();
    m_registerCalls.push_back({keyCode, modifiers, id});
    ref = 0;
    if (auto failure = m_failures.find(index); failure != m_failures.end())
        return failure->second;
    const bool owned = std::find(m_ownedElsewhere.begin(), m_ownedElsewhere.end(),
                                 std::pair{keyCode, modifiers}) != m_ownedElsewhere.end();
    if (owned || isRegistered(keyCode, modifiers))
        return eventHotKeyExistsErr;
    ref = m_nextRef++;
    m_registrations.emplace(ref, Registration{keyCode, modifiers, id});
    return noErr;
}

OSStatus SimHotkeyRegistrar::unregisterEventHotKey(EventHotKeyRef ref) {
    ++m_unregisterCalls;
    return m_registrations.erase(ref) ? noErr : paramErr;
}

void SimHotkeyRegistrar::failRegistration(std::size_t nth, OSStatus status) {
    m_failures[m_registerCalls.size() + nth - 1] = status;
}

void SimHotkeyRegistrar::ownElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) {
    m_ownedElsewhere.emplace_back(keyCode, modifiers);
}

OSStatus SimHotkeyRegistrar::press(std::uint32_t keyCode, std::uint32_t modifiers) {
    return deliverFor(keyCode, modifiers, kEventHotKeyPressed);
}

OSStatus SimHotkeyRegistrar::release(std::uint32_t keyCode, std::uint32_t modifiers) {
    return deliverFor(keyCode, modifiers, kEventHotKeyReleased);
}

OSStatus SimHotkeyRegistrar::deliverFor(std::uint32_t keyCode, std::uint32_t modifiers,
                                        std::uint32_t kind) {
    for (const auto& [ref, registration] : m_registrations) {
        if (registration.keyCode == keyCode && registration.modifiers == modifiers) {
            HotkeyEvent event;
            event.kind = kind;
            event.hotKeyID = registration.id;
            return deliver(event);
        }
    }
    return eventNotHandledErr;
}

OSStatus SimHotkeyRegistrar::deliver(const HotkeyEvent& event) {
    if (!m_handler)
        return eventNotHandledErr;
    // A copy: the handler may remove itself.
    Handler handler = m_handler;
    return handler(event);
}

std::vector<SimHotkeyRegistrar::Registration> SimHotkeyRegistrar::registered() const {
    std::vector<Registration> result;
    for (const auto& [ref, registration] : m_registrations)
        result.push_back(registration);
    return result;
}

bool SimHotkeyRegistrar::isRegistered(std::uint32_t keyCode, std::uint32_t modifiers) const {
    return std::any_of(m_registrations.begin(), m_registrations.end(), [&](const auto& entry) {
        return entry.second.keyCode == keyCode && entry.second.modifiers == modifiers;
    });
}

} // namespace halvo
