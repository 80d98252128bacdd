// Watches the keyboard whichever window has the focus: the modifier keys held, and releases of the
// four arrows. Nothing else is ever reported.
#pragma once

#include "platform/Key.h"
#include "platform/Modifiers.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace halvo {

using MonitorToken = std::uint64_t;

class EventMonitor {
public:
    struct Handlers {
        // The set of the four modifier keys now held, after any change of it. Lock keys (Caps
        // Lock, Num Lock) are not modifiers here and change nothing.
        std::function<void(Modifiers)> modifiersChanged;
        std::function<void(Key)> keyReleased;
    };

    virtual ~EventMonitor() = default;

    // Nothing when the platform cannot watch the keyboard.
    virtual std::optional<MonitorToken> addMonitor(Handlers handlers) = 0;
    virtual void removeMonitor(MonitorToken token) = 0;
};

} // namespace halvo
