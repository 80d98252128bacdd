// The keyboard hold's reports, handed to the monitors.
#include "platform/wayland/LayerKeyboardMonitor.h"

#include "platform/HotkeyAction.h"

namespace halvo {

LayerKeyboardMonitor::LayerKeyboardMonitor(WaylandConnection& connection,
                                           KeyboardHold::LostKeyboard lostKeyboard)
    : m_connection(connection),
      m_hold(connection,
             {[this](Modifiers held) { m_monitors.deliverModifiers(held); },
              [this](Key key) {
                  // The seam reports the four arrows only.
                  if (hotkeyActionForKey(key))
                      m_monitors.deliverKeyReleased(key);
              }},
             lostKeyboard) {}

std::optional<MonitorToken> LayerKeyboardMonitor::addMonitor(Handlers handlers) {
    if (!m_connection.ok())
        return std::nullopt;
    return m_monitors.add(std::move(handlers));
}

void LayerKeyboardMonitor::removeMonitor(MonitorToken token) {
    m_monitors.remove(token);
    if (m_monitors.size() == 0)
        m_hold.release();
}

void LayerKeyboardMonitor::shortcutPressed(Modifiers held) {
    if (m_monitors.size() == 0 || held.isEmpty())
        return;
    m_hold.hold(held);
}

} // namespace halvo
