// A hot-key service for tests: records what it is asked, can refuse registrations, and delivers
// pressed and released events when the test says so.
#pragma once

#include "platform/HotkeyRegistrar.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace halvo {

class SimHotkeyRegistrar final : public HotkeyRegistrar {
public:
    struct Registration {
        std::uint32_t keyCode = 0;
        std::uint32_t modifiers = 0;
        EventHotKeyID id;
        bool operator==(const Registration&) const = default;
    };

    OSStatus installEventHandler(Handler handler, EventHandlerRef& ref) override;
    OSStatus removeEventHandler(EventHandlerRef ref) override;
    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 EventHotKeyRef& ref) override;
    OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;

    // Test controls: failures.
    // installEventHandler answers `status` from now on (noErr to succeed again).
    void failInstallEventHandler(OSStatus status) { m_installStatus = status; }
    // The nth registration attempt from now on (1 = the next one) fails with `status`.
    void failRegistration(std::size_t nth, OSStatus status = eventHotKeyExistsErr);
    // Every registration of keyCode with exactly these modifiers fails, as if another program
    // owned it.
    void ownElsewhere(std::uint32_t keyCode, std::uint32_t modifiers);

    // Test controls: events. The key goes down or up with the modifiers held; the handler gets
    // the event of the hot key registered for exactly that combination. Nothing happens (and
    // eventNotHandledErr is returned) when no handler is installed or no hot key matches.
    OSStatus press(std::uint32_t keyCode, std::uint32_t modifiers);
    OSStatus release(std::uint32_t keyCode, std::uint32_t modifiers);
    // Hands any event to the handler, foreign signatures and ids included.
    OSStatus deliver(const HotkeyEvent& event);

    // What the logic asked for.
    bool hasHandler() const { return m_handlerRef != 0; }
    std::vector<Registration> registered() const;
    bool isRegistered(std::uint32_t keyCode, std::uint32_t modifiers) const;
    // Every registration attempt, refused ones included, in order.
    const std::vector<Registration>& registerCalls() const { return m_registerCalls; }
    std::size_t unregisterCallCount() const { return m_unregisterCalls; }

private:
    OSStatus deliverFor(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t kind);

    Handler m_handler;
    EventHandlerRef m_handlerRef = 0;
    OSStatus m_installStatus = noErr;
    std::uint64_t m_nextRef = 1;
    std::map<EventHotKeyRef, Registration> m_registrations;
    std::vector<Registration> m_registerCalls;
    std::size_t m_unregisterCalls = 0;
    std::map<std::size_t, OSStatus> m_failures; // by index into m_registerCalls
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_ownedElsewhere;
};

} // namespace halvo
