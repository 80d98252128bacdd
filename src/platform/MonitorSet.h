// The monitors added to an EventMonitor, each under its token, and the delivery of an event to
// all of them: what every backend's keyboard monitor keeps the same way.
#pragma once

#include "platform/EventMonitor.h"

#include <cstddef>
#include <map>

namespace halvo {

class MonitorSet {
public:
    MonitorToken add(EventMonitor::Handlers handlers);
    void remove(MonitorToken token);
    std::size_t size() const { return m_monitors.size(); }

    // Each goes to the monitors present when it is delivered; a handler may remove its own
    // monitor or another one.
    void deliverModifiers(Modifiers held) const;
    void deliverKeyReleased(Key key) const;

private:
    MonitorToken m_nextToken = 1;
    std::map<MonitorToken, EventMonitor::Handlers> m_monitors;
};

} // namespace halvo
