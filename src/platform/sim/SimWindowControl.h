// The window side of the simulated desktop: reads answer from its window records, and every
// change is recorded and applied to them, unless the test made it fail.
#pragma once

#include "platform/WindowControl.h"

namespace halvo {

class SimDesktop;

class SimWindowControl final : public WindowControl {
public:
    explicit SimWindowControl(SimDesktop& desktop) : m_desktop(desktop) {}

    bool isWindowManagerRunning() override;
    std::optional<AppWindows> windows(ProcessID pid) override;
    WindowResult raise(const WindowInfo& window) override;
    WindowResult activate(const WindowInfo& window) override;
    WindowResult setMinimized(const WindowInfo& window, bool minimized) override;
    WindowResult setFrame(const WindowInfo& window, const Rect& frame) override;
    WindowResult setFullScreen(const WindowInfo& window, bool fullScreen) override;

private:
    // Records the request, then answers with an injected failure, `gone`, or what `apply`
    // makes of the window record. Called with the desktop locked.
    template <typename Request, typename Apply> WindowResult change(Request request, Apply apply);

    SimDesktop& m_desktop;
};

} // namespace halvo
