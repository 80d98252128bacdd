// The keyboard hold's reports, handed to the monitors.
#include "platform/sway/SwayEventMonitor.h"

#include "platform/HotkeyAction.h"

namespace halvo {

SwayEventMonitor::SwayEventMonitor(WaylandConnection& connection)
    : m_connection(connection),
      m_hold(connection, {[this](Modifiers held) { m_monitors.deliverModifiers(held); },
                          [this](Key key) {
                              // The seam reports the four arrows only.
                              if (hotkeyActionForKey(key))
                                  m_monitors.deliverKeyReleased(key);
                          }}) {}

std::optional<MonitorToken> SwayEventMonitor::addMonitor(Handlers handlers) {
    if (!m_connection.ok())
        return std::nullopt;
    return m_monitors.add(std::move(handlers));
}

void SwayEventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.remove(token);
    if (m_monitors.size() == 0)
        m_hold.release();
}

void SwayEventMonitor::shortcutPressed(Modifiers held) {
    if (m_monitors.size() == 0 || held.isEmpty())
        return;
    m_hold.hold(held);
}

} // namespace halvo
