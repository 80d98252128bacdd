// Keeping keyboard monitors and delivering events to them.
#include "platform/MonitorSet.h"

#include <vector>

namespace halvo {

MonitorToken MonitorSet::add(EventMonitor::Handlers handlers) {
    const MonitorToken token = m_nextToken++;
    m_monitors.emplace(token, std::move(handlers));
    return token;
}

void MonitorSet::remove(MonitorToken token) {
    m_monitors.erase(token);
}

void MonitorSet::deliverModifiers(Modifiers held) const {
    std::vector<std::function<void(Modifiers)>> handlers; // copied: a handler may remove one
    for (const auto& [token, monitor] : m_monitors) {
        if (monitor.modifiersChanged)
            handlers.push_back(monitor.modifiersChanged);
    }
    for (const auto& handler : handlers)
        handler(held);
}

void MonitorSet::deliverKeyReleased(Key key) const {
    std::vector<std::function<void(Key)>> handlers;
    for (const auto& [token, monitor] : m_monitors) {
        if (monitor.keyReleased)
            handlers.push_back(monitor.keyReleased);
    }
    for (const auto& handler : handlers)
        handler(key);
}

} // namespace halvo
