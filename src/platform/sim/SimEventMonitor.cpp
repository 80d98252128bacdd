// Simulated keyboard monitors for the logic's tests.
#include "platform/sim/SimEventMonitor.h"

#include <algorithm>
#include <vector>

namespace halvo {

std::optional<MonitorToken> SimEventMonitor::addLocalMonitor(std::uint64_t mask, Handler handler) {
    return add(true, mask, std::move(handler));
}

std::optional<MonitorToken> SimEventMonitor::addGlobalMonitor(std::uint64_t mask, Handler handler) {
    return add(false, mask, std::move(handler));
}

std::optional<MonitorToken> SimEventMonitor::add(bool local, std::uint64_t mask, Handler handler) {
    if (m_refuse)
        return std::nullopt;
    const MonitorToken token = m_nextToken++;
    m_monitors.emplace(token, Monitor{local, mask, std::move(handler)});
    return token;
}

void SimEventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.erase(token);
}

void SimEventMonitor::sendFlagsChanged(std::uint64_t flags, bool local) {
    send(MonitoredEvent{NSEventTypeFlagsChanged, 0, flags}, local);
}

void SimEventMonitor::sendKeyUp(std::uint16_t keyCode, bool local) {
    send(MonitoredEvent{NSEventTypeKeyUp, keyCode, 0}, local);
}

void SimEventMonitor::send(const MonitoredEvent& event, bool local) {
    std::vector<Handler> handlers;
    for (const auto& [token, monitor] : m_monitors) {
        if (monitor.local == local && (monitor.mask & (1ull << event.type)))
            handlers.push_back(monitor.handler);
    }
    for (const Handler& handler : handlers)
        handler(event);
}

std::size_t SimEventMonitor::localCount() const {
    return static_cast<std::size_t>(std::count_if(m_monitors.begin(), m_monitors.end(),
                                                  [](const auto& e) { return e.second.local; }));
}

std::size_t SimEventMonitor::globalCount() const {
    return m_monitors.size() - localCount();
}

} // namespace halvo
