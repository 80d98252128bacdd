// Monitors kept from the extension's answers; the pointer asked on demand.
#include "platform/gnome/GnomeScreens.h"

#include "platform/gnome/GnomeMonitorList.h"
#include "platform/gnome/GnomeShellClient.h"

namespace halvo {
namespace {

std::optional<GnomeMonitorList> readMonitors(const GnomeShellClient& shell) {
    const std::optional<std::string> text = shell.monitorsText();
    return text ? GnomeMonitorList::parse(*text) : std::nullopt;
}

} // namespace

GnomeScreens::GnomeScreens(GnomeShellClient& shell) : m_shell(shell) {
    reload();
    QObject::connect(&shell, &GnomeShellClient::monitorsChanged, &shell, [this] { reload(); });
}

void GnomeScreens::reload() {
    if (std::optional<GnomeMonitorList> list = readMonitors(m_shell)) {
        const std::lock_guard lock(m_mutex);
        m_screens = std::move(list->screens);
    }
}

std::vector<Screen> GnomeScreens::screens() const {
    const std::lock_guard lock(m_mutex);
    return m_screens;
}

std::optional<Screen> GnomeScreens::mainScreen() const {
    const std::optional<GnomeMonitorList> list = readMonitors(m_shell);
    return list ? list->pointerScreen : std::nullopt;
}

Point GnomeScreens::mouseLocation() const {
    const std::optional<GnomeMonitorList> list = readMonitors(m_shell);
    return list ? list->pointer : Point{};
}

} // namespace halvo
