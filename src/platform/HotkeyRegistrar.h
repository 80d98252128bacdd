// System-wide shortcuts: an arrow with a modifier combination that reaches Halvo whichever window
// has the focus.
#pragma once

#include "platform/HotkeyAction.h"
#include "platform/Modifiers.h"
#include "platform/RegistrationResult.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace halvo {

class HotkeyRegistrar {
public:
    // Names one registration; 0 is none.
    using ShortcutRef = std::uint64_t;

    struct Event {
        enum class Kind {
            pressed,
            released,
            // A registered shortcut turned out to be held by another program after all (some
            // desktops take keys in ways a registration cannot see): it will not arrive.
            takenByAnotherProgram,
            // The desktop's own configuration binds it now (see
            // RegistrationResult::takenByConfiguration): it will not arrive.
            takenByConfiguration,
            // A combination refused or lost as takenByConfiguration is free again (the
            // configuration was reloaded without it): registering it may now work. Its action
            // means nothing.
            available,
        };
        Kind kind = Kind::pressed;
        HotkeyAction action = HotkeyAction::previous;
        // Seconds from the key's press or release to this event's delivery, as far as the
        // desktop tells (0 when it cannot): the time the event spent reaching Halvo.
        double age = 0;
        bool operator==(const Event&) const = default;
    };
    using Handler = std::function<void(const Event&)>;

    struct Registration {
        RegistrationResult result = RegistrationResult::failed;
        ShortcutRef ref = 0; // non-zero exactly when registered
    };

    virtual ~HotkeyRegistrar() = default;

    // Starts delivering the events of every registered shortcut to the one handler, on the main
    // thread. Nothing on success; otherwise why the keyboard cannot be listened to.
    virtual std::optional<std::string> listen(Handler handler) = 0;
    virtual void stopListening() = 0;

    // Registers the action's arrow with exactly these modifiers (lock keys such as Caps Lock and
    // Num Lock never get in the way). Nothing is left half-registered when it fails.
    virtual Registration registerShortcut(HotkeyAction action, Modifiers modifiers) = 0;
    virtual void unregisterShortcut(ShortcutRef ref) = 0;

    // What holds a combination refused as takenByConfiguration, for the log.
    virtual std::string configurationName() const { return "the desktop's own configuration"; }
};

} // namespace halvo
