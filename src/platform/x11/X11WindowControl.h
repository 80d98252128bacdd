// Window control over EWMH: an application is what X11ClientList groups under a process
// identifier, its windows are its managed client windows (topmost first, from
// _NET_CLIENT_LIST_STACKING), and changes are client messages to the window manager.
//
// windows() answers in one batch: the client list with the root properties it needs, then every
// window's geometry, position, frame extents, allowed actions and size hints, each round sent in
// full before any reply is read. Frames are outer frames (decorations and border included) in
// root coordinates.
//
// Every call may run on any thread. Calls off the main thread go through a connection of their
// own, so that their waits never take in the main connection's events; nothing is cached across
// calls. Errors about vanished windows never reach the event queue. Changes go to the window
// manager, so they wait (at most settleTimeout, or stateTimeout for a state) until the window
// shows them; raising and activating do not wait.
#pragma once

#include "platform/Log.h"
#include "platform/WindowControl.h"
#include "platform/x11/X11ConfigureRequest.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ThreadConnection.h"
#include "platform/x11/X11TilingPlacement.h"

#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace halvo {

class X11WindowControl final : public WindowControl {
public:
    static constexpr double settleTimeout = 0.25;
    // How long a window manager may take to apply a state change (full screen, maximised)
    // before it counts as not carried out.
    static constexpr double stateTimeout = 1.0;

    // Construct on the main thread: activations made there carry a real server timestamp.
    // `log` (may be null) hears why a move did not land.
    X11WindowControl(X11Connection& connection, ProcessID ownPid, Log* log = nullptr);
    ~X11WindowControl() override;
    X11WindowControl(const X11WindowControl&) = delete;
    X11WindowControl& operator=(const X11WindowControl&) = delete;

    // _NET_SUPPORTING_WM_CHECK names a window that names itself, and _NET_SUPPORTED lists
    // _NET_ACTIVE_WINDOW and _NET_CLIENT_LIST. On the main thread a yes is kept (no request)
    // until the check window is destroyed or either root property changes.
    bool isWindowManagerRunning() override;
    std::optional<AppWindows> windows(ProcessID pid) override;
    // _NET_RESTACK_WINDOW above its siblings.
    WindowResult raise(const WindowInfo& window) override;
    // _NET_ACTIVE_WINDOW, source 2; the window manager maps an iconified window again.
    WindowResult activate(const WindowInfo& window) override;
    // WM_CHANGE_STATE to iconify, activation to restore; off the main thread it waits until the
    // window shows the state.
    WindowResult setMinimized(const WindowInfo& window, bool minimized) override;
    // One _NET_MOVERESIZE_WINDOW (NorthWest gravity, source 2: x, y name the frame's outer
    // corner) with the size when it changes, or an ICCCM configure request where the window
    // manager does not take that message; window managers that place windows themselves (i3,
    // herbstluftwm) move it their own way (X11TilingPlacement). A maximised window is
    // un-maximised first and maximised again afterwards on the axes it was, so that its restore
    // geometry moves with it; a maximised axis keeps its length.
    WindowResult setFrame(const WindowInfo& window, const Rect& frame) override;
    WindowResult setFullScreen(const WindowInfo& window, bool fullScreen) override;

private:
    using Chrome = X11ConfigureRequest::Chrome;
    struct Placement;

    // The outer frame from the client's geometry, its root position and its frame extents (four
    // values, else none).
    static Placement placement(const xcb_get_geometry_reply_t& geometry,
                               const xcb_translate_coordinates_reply_t& translated,
                               const std::vector<std::uint32_t>& extents);

    // Where the windows are (with their size hints), asked in one round: nothing for a window
    // that is gone.
    std::vector<std::optional<Placement>> readPlacements(const std::vector<xcb_window_t>& windows);
    // Asks for the state change and waits (at most stateTimeout) until the window shows it.
    WindowResult changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second);
    void activateWindow(xcb_window_t window);
    xcb_timestamp_t timestamp();
    // Polls until `done` holds or `timeout` seconds pass; returns whether it held.
    template <typename Pred> bool settle(Pred done, double timeout = settleTimeout);

    // The check itself, two round trips.
    bool checkWindowManager();
    // Selects the events that end a kept yes: the root's property changes, the check window's
    // destruction.
    void watchCheck(xcb_window_t checkWindow);
    void noteEvent(const xcb_generic_event_t& event);

    X11ThreadConnection m_connection;
    ProcessID m_ownPid;
    X11TilingPlacement m_tiling;
    std::thread::id m_mainThread;
    X11Connection& m_main;
    X11Connection::ListenerID m_note = 0;
    // The check window of a window manager confirmed on the main thread, XCB_NONE when none is.
    xcb_window_t m_confirmedCheck = XCB_NONE;
    bool m_watchingRoot = false;
    xcb_atom_t m_checkAtom = XCB_ATOM_NONE;
    xcb_atom_t m_supportedAtom = XCB_ATOM_NONE;
};

} // namespace halvo
