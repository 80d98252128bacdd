// Monitors of keyboard events: modifier changes and key releases, seen whichever window has the
// focus. Only modifier changes and the four arrow keys are ever reported.
#pragma once

#include "platform/HotkeyTypes.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace halvo {

using MonitorToken = std::uint64_t;

class EventMonitor {
public:
    using Handler = std::function<void(const MonitoredEvent&)>;

    virtual ~EventMonitor() = default;

    // Events addressed to Halvo's own windows. Nothing when the platform cannot monitor.
    virtual std::optional<MonitorToken> addLocalMonitor(std::uint64_t mask, Handler handler) = 0;

    // Events addressed to every other client.
    virtual std::optional<MonitorToken> addGlobalMonitor(std::uint64_t mask, Handler handler) = 0;

    virtual void removeMonitor(MonitorToken token) = 0;
};

} // namespace halvo
