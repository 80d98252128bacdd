// A keyboard monitor for tests: the test sends modifier changes and key releases to the monitors
// that the logic added.
#pragma once

#include "platform/EventMonitor.h"
#include "platform/MonitorSet.h"

#include <cstddef>

namespace halvo {

class SimEventMonitor final : public EventMonitor {
public:
    std::optional<MonitorToken> addMonitor(Handlers handlers) override;
    void removeMonitor(MonitorToken token) override;

    // Test controls.
    void sendModifiers(Modifiers held);
    void sendKeyReleased(Key key);
    // From now on, adding a monitor gives nothing, as when the keyboard cannot be watched.
    void refuseMonitors(bool refuse) { m_refuse = refuse; }

    std::size_t monitorCount() const { return m_monitors.size(); }

private:
    bool m_refuse = false;
    MonitorSet m_monitors;
};

} // namespace halvo
