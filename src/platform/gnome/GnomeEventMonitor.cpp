// The extension's hold reports, handed to the monitors.
#include "platform/gnome/GnomeEventMonitor.h"

#include "platform/HotkeyAction.h"
#include "platform/gnome/GnomeShellClient.h"

namespace halvo {

GnomeEventMonitor::GnomeEventMonitor(GnomeShellClient& shell) {
    QObject::connect(&shell, &GnomeShellClient::modifiersChanged, &shell, [this](uint modifiers) {
        m_monitors.deliverModifiers(Modifiers::fromBits(modifiers));
    });
    QObject::connect(&shell, &GnomeShellClient::arrowReleased, &shell, [this](uint action) {
        for (HotkeyAction known : allHotkeyActions) {
            if (static_cast<uint>(known) == action)
                m_monitors.deliverKeyReleased(key(known));
        }
    });
}

std::optional<MonitorToken> GnomeEventMonitor::addMonitor(Handlers handlers) {
    return m_monitors.add(std::move(handlers));
}

void GnomeEventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.remove(token);
}

void GnomeEventMonitor::shortcutPressed(Modifiers held) {
    if (!held.isEmpty())
        m_monitors.deliverModifiers(held);
}

} // namespace halvo
