// The monitors and the pointer in GNOME Shell, through Halvo's extension. The monitors are kept
// and read again when the shell says they changed; the pointer is asked each time.
#pragma once

#include "platform/Screens.h"

#include <mutex>

namespace halvo {

class GnomeShellClient;

class GnomeScreens final : public Screens {
public:
    // Main thread; `shell` outlives the screens.
    explicit GnomeScreens(GnomeShellClient& shell);

    std::vector<Screen> screens() const override;
    // The monitor under the pointer: the shell's own idea of the current monitor.
    std::optional<Screen> mainScreen() const override;
    Point mouseLocation() const override;

private:
    void reload();

    GnomeShellClient& m_shell;
    mutable std::mutex m_mutex;
    std::vector<Screen> m_screens;
};

} // namespace halvo
