// The checks of SwayPermissions.h; the window-manager check is window control's.
#include "platform/sway/SwayPermissions.h"

#include "platform/Log.h"
#include "platform/WindowControl.h"
#include "platform/sway/SwayHotkeyRegistrar.h"
#include "platform/wayland/WaylandConnection.h"

namespace halvo {

SwayPermissions::SwayPermissions(WindowControl& windowControl, const SwayHotkeyRegistrar& registrar,
                                 const WaylandConnection& connection, Log& log)
    : m_windowControl(windowControl), m_registrar(registrar), m_connection(connection), m_log(log) {
}

bool SwayPermissions::isWindowManagerRunning() {
    return m_windowControl.isWindowManagerRunning();
}

bool SwayPermissions::isWindowManagerRunningWithPrompt() {
    const bool trusted = isWindowManagerRunning();
    if (!trusted)
        m_log.write("Halvo: sway does not answer on its IPC socket ($SWAYSOCK); switching needs "
                    "it. Start Halvo from inside the sway session.");
    return trusted;
}

bool SwayPermissions::hasKeyboardAccess() {
    return m_registrar.bindingsAccepted() && m_connection.ok();
}

} // namespace halvo
