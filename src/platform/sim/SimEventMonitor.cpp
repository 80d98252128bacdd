// Simulated keyboard monitors for the logic's tests.
#include "platform/sim/SimEventMonitor.h"

namespace halvo {

std::optional<MonitorToken> SimEventMonitor::addMonitor(Handlers handlers) {
    if (m_refuse)
        return std::nullopt;
    return m_monitors.add(std::move(handlers));
}

void SimEventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.remove(token);
}

void SimEventMonitor::sendModifiers(Modifiers held) {
    m_monitors.deliverModifiers(held);
}

void SimEventMonitor::sendKeyReleased(Key key) {
    m_monitors.deliverKeyReleased(key);
}

} // namespace halvo
