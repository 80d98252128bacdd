// Event monitors for tests: the test sends flags-changed and key-up events to the monitors that
// the logic added.
#pragma once

#include "platform/EventMonitor.h"

#include <cstddef>
#include <cstdint>
#include <map>

namespace halvo {

class SimEventMonitor final : public EventMonitor {
public:
    std::optional<MonitorToken> addLocalMonitor(std::uint64_t mask, Handler handler) override;
    std::optional<MonitorToken> addGlobalMonitor(std::uint64_t mask, Handler handler) override;
    void removeMonitor(MonitorToken token) override;

    // Test controls. Events go to the global monitors (other clients' events) unless `local` is
    // set, and only to monitors whose mask includes the event's type.
    void sendFlagsChanged(std::uint64_t flags, bool local = false);
    void sendKeyUp(std::uint16_t keyCode, bool local = false);
    void send(const MonitoredEvent& event, bool local = false);
    // From now on, adding a monitor gives nothing, as without the permission to monitor.
    void refuseMonitors(bool refuse) { m_refuse = refuse; }

    std::size_t localCount() const;
    std::size_t globalCount() const;

private:
    struct Monitor {
        bool local = false;
        std::uint64_t mask = 0;
        Handler handler;
    };
    std::optional<MonitorToken> add(bool local, std::uint64_t mask, Handler handler);

    bool m_refuse = false;
    MonitorToken m_nextToken = 1;
    std::map<MonitorToken, Monitor> m_monitors;
};

} // namespace halvo
