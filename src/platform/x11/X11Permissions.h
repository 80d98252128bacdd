// The two permissions as an X11 session grants them: window control needs a window manager that
// speaks EWMH, as window control itself decides it; keyboard access needs a real X server (not
// XWayland) with the XKB and XInput2 extensions. Neither can be granted by a prompt.
#pragma once

#include "platform/Permissions.h"

#include <optional>

namespace halvo {

class Log;
class WindowControl;
class X11Connection;

class X11Permissions final : public Permissions {
public:
    X11Permissions(X11Connection& connection, WindowControl& windowControl, Log& log);

    bool isWindowManagerRunning() override;
    // Logs what is missing and how to get it; the answer is the current state.
    bool isWindowManagerRunningWithPrompt() override;
    bool hasKeyboardAccess() override;

private:
    bool hasExtension(const char* name);
    bool readKeyboardAccess();

    X11Connection& m_connection;
    WindowControl& m_windowControl;
    Log& m_log;
    std::optional<bool> m_keyboardAccess;
};

} // namespace halvo
