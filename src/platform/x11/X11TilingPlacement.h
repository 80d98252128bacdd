// Long-press moves under window managers that place windows themselves, which ignore move
// requests: under i3 the container is moved to the target output through i3's IPC, under
// herbstluftwm the window goes to the tag the target monitor shows. Under any other window
// manager that leaves a window where it was, one "Halvo: " line says so.
#pragma once

#include "platform/Geometry.h"
#include "platform/Log.h"
#include "platform/x11/X11ThreadConnection.h"

#include <chrono>
#include <mutex>
#include <string>

namespace halvo {

class X11TilingPlacement {
public:
    enum class Outcome { notHandled, moved, refused };

    // `log` may be null (then nothing is logged).
    X11TilingPlacement(X11ThreadConnection& connection, Log* log);

    // The frame setter's contract. Before asking the window manager to move managed window
    // `window` so that its outer frame starts at `rootTarget` (root coordinates), it calls
    // place():
    //  - notHandled: the window manager takes move requests for this window: move it as usual;
    //  - moved: the window now lies on the monitor holding rootTarget, where the window
    //    manager put it (not necessarily at rootTarget): do nothing more;
    //  - refused: it could not be moved there, and a "Halvo: " line said why.
    // After a usual move that the window manager ignored, the setter calls reportIgnored().
    // Both may run on any thread and block for at most about two seconds.
    Outcome place(xcb_window_t window, Point rootTarget);
    void reportIgnored(xcb_window_t window, Point rootTarget);

private:
    struct Target {
        Rect rootFrame;
        std::string name;
    };

    Outcome placeUnderI3(xcb_window_t window, const Target& target, Point rootTarget);
    Outcome placeUnderHerbstluftwm(xcb_window_t window, const Target& target, Point rootTarget);
    Outcome refuse(xcb_window_t window, const Target& target, const std::string& reason);
    // Whether the window reaches the target monitor within `timeout`.
    bool waitUntilOn(xcb_window_t window, const Target& target, std::chrono::milliseconds timeout);
    // moved once the window is on the target monitor; refused (and logged) when it is not soon.
    Outcome landed(xcb_window_t window, const Target& target, const std::string& manager);

    std::string windowManagerName();
    std::string rootText(std::string_view property);
    std::string i3SocketPath();
    Target targetAt(Point rootTarget);
    bool onMonitor(xcb_window_t window, const Rect& monitor);
    std::string appName(xcb_window_t window);

    X11ThreadConnection& m_connection;
    Log* m_log;
    // One line per app and monitor, not one per window of the app.
    std::mutex m_logged;
    std::string m_lastLine;
    std::chrono::steady_clock::time_point m_lastLineTime;
};

} // namespace halvo
