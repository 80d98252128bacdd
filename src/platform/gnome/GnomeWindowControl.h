// Other applications' windows in GNOME Shell, through Halvo's extension: one read of the window
// list per question, and the changes asked of mutter inside the shell. A change is confirmed by
// reading the window back, as mutter applies some (a move to another monitor) after the call.
#pragma once

#include "platform/WindowControl.h"

#include <functional>

namespace halvo {

class GnomeShellClient;

class GnomeWindowControl final : public WindowControl {
public:
    // How long a change may take to show in the window list.
    static constexpr double changeWaitSeconds = 1.0;

    explicit GnomeWindowControl(GnomeShellClient& shell) : m_shell(shell) {}

    // Whether the extension answers.
    bool isWindowManagerRunning() override;
    std::optional<AppWindows> windows(ProcessID pid) override;
    WindowResult raise(const WindowInfo& window) override;
    WindowResult activate(const WindowInfo& window) override;
    WindowResult setMinimized(const WindowInfo& window, bool minimized) override;
    WindowResult setFrame(const WindowInfo& window, const Rect& frame) override;
    WindowResult setFullScreen(const WindowInfo& window, bool fullScreen) override;

private:
    // The window as the extension lists it now; nothing when it is gone.
    std::optional<WindowInfo> current(WindowID id) const;
    // ok once `seen` holds for the window (read again every 10 ms), else failed; gone when the
    // window disappears.
    WindowResult waitFor(WindowID id, const std::function<bool(const WindowInfo&)>& seen) const;

    GnomeShellClient& m_shell;
};

} // namespace halvo
