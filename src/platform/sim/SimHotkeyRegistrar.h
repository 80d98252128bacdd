// A shortcut service for tests: records what it is asked, can refuse registrations, and delivers
// pressed, released and taken events when the test says so.
#pragma once

#include "platform/HotkeyRegistrar.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvo {

class SimHotkeyRegistrar final : public HotkeyRegistrar {
public:
    struct Shortcut {
        Key key = Key::left;
        Modifiers modifiers;
        bool operator==(const Shortcut&) const = default;
    };

    std::optional<std::string> listen(Handler handler) override;
    void stopListening() override;
    Registration registerShortcut(HotkeyAction action, Modifiers modifiers) override;
    void unregisterShortcut(ShortcutRef ref) override;

    // Test controls: failures.
    // listen() answers with this reason from now on (nothing to succeed again).
    void failListening(std::optional<std::string> reason) { m_listenError = std::move(reason); }
    // The nth registration attempt from now on (1 = the next one) fails with `result`.
    void failRegistration(std::size_t nth,
                          RegistrationResult result = RegistrationResult::takenByAnotherProgram);
    // Every registration of key with exactly these modifiers is refused with `result`, as if
    // another program (or the desktop's configuration) owned it, until freed.
    void ownElsewhere(Key key, Modifiers modifiers,
                      RegistrationResult result = RegistrationResult::takenByAnotherProgram);
    void freeElsewhere(Key key, Modifiers modifiers);

    // Test controls: events. The key goes down or up with the modifiers held; the handler gets
    // the event of the shortcut registered for exactly that combination. False (and nothing
    // happens) when Halvo does not listen or no shortcut matches.
    bool press(Key key, Modifiers modifiers);
    bool release(Key key, Modifiers modifiers);
    // Another program (or the desktop's configuration: takenByConfiguration) took the registered
    // shortcut of key with these modifiers after all.
    bool takeElsewhere(Key key, Modifiers modifiers,
                       Event::Kind kind = Event::Kind::takenByAnotherProgram);
    // The desktop's configuration no longer binds what it took: an `available` event.
    bool announceAvailable();
    // How long the events delivered from now on took to arrive (their `age`).
    void setEventAge(double seconds) { m_eventAge = seconds; }

    // What the logic asked for.
    bool isListening() const { return static_cast<bool>(m_handler); }
    std::vector<Shortcut> registered() const;
    bool isRegistered(Key key, Modifiers modifiers) const;
    // Every registration attempt, refused ones included, in order.
    const std::vector<Shortcut>& registerCalls() const { return m_registerCalls; }
    std::size_t unregisterCallCount() const { return m_unregisterCalls; }
    // Registrations and unregistrations in the order asked: "register ←", "unregister ←".
    const std::vector<std::string>& callLog() const { return m_callLog; }

private:
    struct Entry {
        Shortcut shortcut;
        HotkeyAction action;
    };
    bool deliverFor(Key key, Modifiers modifiers, Event::Kind kind);

    Handler m_handler;
    double m_eventAge = 0;
    std::optional<std::string> m_listenError;
    ShortcutRef m_nextRef = 1;
    std::map<ShortcutRef, Entry> m_registrations;
    std::vector<Shortcut> m_registerCalls;
    std::size_t m_unregisterCalls = 0;
    std::vector<std::string> m_callLog;
    std::map<std::size_t, RegistrationResult> m_failures; // by index into m_registerCalls
    std::vector<std::pair<Shortcut, RegistrationResult>> m_ownedElsewhere;
};

} // namespace halvo
