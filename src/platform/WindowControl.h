// Other applications' windows: one batched read of an application's windows, and the changes
// Halvo makes to them. Every call may be made from any thread; none waits for an application,
// only for the window manager, and each such wait is bounded. Frames are outer frames in the
// desktop's layout coordinates and logical pixels, the space of the screens' frames (Screens.h).
#pragma once

#include "platform/AppWindows.h"
#include "platform/Geometry.h"
#include "platform/RunningApplication.h"
#include "platform/WindowInfo.h"
#include "platform/WindowResult.h"

#include <optional>

namespace halvo {

class WindowControl {
public:
    virtual ~WindowControl() = default;

    // Whether a window manager is running that lets Halvo list, activate and change windows
    // (on X11 one that speaks EWMH). Without one nothing below can work; Halvo's permission
    // check asks this same question.
    virtual bool isWindowManagerRunning() = 0;

    // The application's windows (every window of the application the process identifier names),
    // read at once. Nothing when there is no such application.
    virtual std::optional<AppWindows> windows(ProcessID pid) = 0;

    // The changes take the window as windows() read it, and ask for nothing the desktop does
    // not need (a frame change of a window that may not be moved is refused).

    // Stacks the window above the others.
    virtual WindowResult raise(const WindowInfo& window) = 0;
    // Gives the window the keyboard focus (un-minimising it), making its application frontmost.
    virtual WindowResult activate(const WindowInfo& window) = 0;
    virtual WindowResult setMinimized(const WindowInfo& window, bool minimized) = 0;
    // Sets the outer frame (in the space of WindowInfo::frame): the size, when it differs from the
    // window's, before or with the position, so that a window shrunk to fit is placed at its new
    // size. A maximised axis keeps its length and the window stays maximised. ok once the window
    // shows the new position or the wait ends: the caller reads the window back to see where it
    // landed.
    virtual WindowResult setFrame(const WindowInfo& window, const Rect& frame) = 0;
    // ok only once the window is seen in the wanted state; failed when the window manager
    // takes the request and does not act on it within its wait.
    virtual WindowResult setFullScreen(const WindowInfo& window, bool fullScreen) = 0;
};

} // namespace halvo
