// The two permissions as a sway session grants them: window control needs sway's IPC to answer,
// as window control itself decides it; keyboard access needs sway to take Halvo's runtime
// bindings and a layer shell to hold the keyboard with while a shortcut is down. Neither can be
// granted by a prompt.
#pragma once

#include "platform/Permissions.h"

namespace halvo {

class Log;
class SwayHotkeyRegistrar;
class WaylandConnection;
class WindowControl;

class SwayPermissions final : public Permissions {
public:
    SwayPermissions(WindowControl& windowControl, const SwayHotkeyRegistrar& registrar,
                    const WaylandConnection& connection, Log& log);

    bool isWindowManagerRunning() override;
    // Logs what is missing; the answer is the current state.
    bool isWindowManagerRunningWithPrompt() override;
    // The registrar's last registration: false until the shortcut has been registered once.
    bool hasKeyboardAccess() override;

private:
    WindowControl& m_windowControl;
    const SwayHotkeyRegistrar& m_registrar;
    const WaylandConnection& m_connection;
    Log& m_log;
};

} // namespace halvo
