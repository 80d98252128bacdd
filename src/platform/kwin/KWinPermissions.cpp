// The checks of KWinPermissions.h; the window-manager check is window control's.
#include "platform/kwin/KWinPermissions.h"

#include "platform/Log.h"
#include "platform/WindowControl.h"
#include "platform/kwin/KWinHotkeyRegistrar.h"
#include "platform/wayland/WaylandConnection.h"

namespace halvo {

KWinPermissions::KWinPermissions(WindowControl& windowControl, const KWinHotkeyRegistrar& registrar,
                                 const WaylandConnection& connection, Log& log)
    : m_windowControl(windowControl), m_registrar(registrar), m_connection(connection), m_log(log) {
}

bool KWinPermissions::isWindowManagerRunning() {
    return m_windowControl.isWindowManagerRunning();
}

bool KWinPermissions::isWindowManagerRunningWithPrompt() {
    const bool trusted = isWindowManagerRunning();
    if (!trusted)
        m_log.write("Halvo: Halvo's KWin script does not answer; switching needs it. Start Halvo "
                    "from inside the Plasma session.");
    return trusted;
}

bool KWinPermissions::hasKeyboardAccess() {
    return m_registrar.accepted() && m_connection.ok();
}

} // namespace halvo
