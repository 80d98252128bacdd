// What switching depends on in GNOME Shell: Halvo's extension, which both lists and changes
// windows and grabs the keys. Its absence is found at start (GnomeShellClient::problem); here
// only whether it still answers.
#pragma once

#include "platform/Permissions.h"

namespace halvo {

class Log;
class WindowControl;

class GnomePermissions final : public Permissions {
public:
    GnomePermissions(WindowControl& windowControl, Log& log)
        : m_windowControl(windowControl), m_log(log) {}

    bool isWindowManagerRunning() override;
    // Logs what to do when the extension does not answer.
    bool isWindowManagerRunningWithPrompt() override;
    // The extension's modal grab reports the modifiers while it answers.
    bool hasKeyboardAccess() override { return isWindowManagerRunning(); }

private:
    WindowControl& m_windowControl;
    Log& m_log;
};

} // namespace halvo
