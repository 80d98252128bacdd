// The two permissions as a KWin session grants them: window control needs Halvo's script to
// answer; keyboard access needs KGlobalAccel to take the shortcut and a layer shell to hold the
// keyboard with while it is down. Neither can be granted by a prompt.
#pragma once

#include "platform/Permissions.h"

namespace halvo {

class KWinHotkeyRegistrar;
class Log;
class WaylandConnection;
class WindowControl;

class KWinPermissions final : public Permissions {
public:
    KWinPermissions(WindowControl& windowControl, const KWinHotkeyRegistrar& registrar,
                    const WaylandConnection& connection, Log& log);

    bool isWindowManagerRunning() override;
    // Logs what is missing; the answer is the current state.
    bool isWindowManagerRunningWithPrompt() override;
    // Whether KGlobalAccel took the last registration and the keyboard can be held.
    bool hasKeyboardAccess() override;

private:
    WindowControl& m_windowControl;
    const KWinHotkeyRegistrar& m_registrar;
    const WaylandConnection& m_connection;
    Log& m_log;
};

} // namespace halvo
