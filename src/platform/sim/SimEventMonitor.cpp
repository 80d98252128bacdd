// Simulated keyboard monitors for the logic's tests.
#include "platform/sim/SimEventMonitor.h"

#include <vector>

namespace halvo {

std::optional<MonitorToken> SimEventMonitor::addMonitor(Handlers handlers) {
    if (m_refuse)
        return std::nullopt;
    const MonitorToken token = m_nextToken++;
    m_monitors.emplace(token, std::move(handlers));
    return token;
}

void SimEventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.erase(token);
}

void SimEventMonitor::sendModifiers(Modifiers held) {
    std::vector<std::function<void(Modifiers)>> handlers; // a handler may remove its monitor
    for (const auto& [token, monitor] : m_monitors) {
        if (monitor.modifiersChanged)
            handlers.push_back(monitor.modifiersChanged);
    }
    for (const auto& handler : handlers)
        handler(held);
}

void SimEventMonitor::sendKeyReleased(Key key) {
    std::vector<std::function<void(Key)>> handlers;
    for (const auto& [token, monitor] : m_monitors) {
        if (monitor.keyReleased)
            handlers.push_back(monitor.keyReleased);
    }
    for (const auto& handler : handlers)
        handler(key);
}

} // namespace halvo
