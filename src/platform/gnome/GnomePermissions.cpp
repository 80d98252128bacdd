// The one check: does Halvo's extension answer.
#include "platform/gnome/GnomePermissions.h"

#include "platform/Log.h"
#include "platform/WindowControl.h"

namespace halvo {

bool GnomePermissions::isWindowManagerRunning() {
    return m_windowControl.isWindowManagerRunning();
}

bool GnomePermissions::isWindowManagerRunningWithPrompt() {
    if (isWindowManagerRunning())
        return true;
    m_log.write("Halvo: Halvo's GNOME Shell extension does not answer; turn it on in the "
                "Extensions app, or log out and back in after installing Halvo.");
    return false;
}

} // namespace halvo
