// Under i3, the area each visible workspace leaves to windows, asked from i3's IPC. i3 frames its
// docks (i3bar among them) like any window, so they are neither children of the root nor in
// _NET_CLIENT_LIST, and no strut read finds them; i3's workspaces know what they reserve.
#pragma once

#include "platform/Geometry.h"
#include "platform/x11/X11Connection.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class I3IpcClient;

class X11I3WorkAreas {
public:
    // Construct on the thread that dispatches the connection's events: a change of the root's
    // I3_SOCKET_PATH (an i3 started or replaced) makes the next read look for i3 again.
    explicit X11I3WorkAreas(X11Connection& connection);
    ~X11I3WorkAreas();
    X11I3WorkAreas(const X11I3WorkAreas&) = delete;
    X11I3WorkAreas& operator=(const X11I3WorkAreas&) = delete;

    // The visible workspaces' areas in root coordinates; empty when no i3 answers. Any thread.
    // Without i3 this asks nothing once the root was read; under i3 it is one IPC round trip.
    std::vector<Rect> read();

    // `area` (a monitor's, root coordinates) less what i3 reserves on that monitor: cut down to
    // the work area whose centre lies on `monitor`, if one does.
    static Rect within(const Rect& area, const Rect& monitor, const std::vector<Rect>& workAreas);

private:
    std::string socketPath();

    X11Connection& m_connection;
    X11Connection::ListenerID m_listener = 0;
    xcb_atom_t m_pathAtom = XCB_ATOM_NONE;
    std::mutex m_mutex;
    std::optional<std::string> m_path; // unknown until read; empty without i3
    std::unique_ptr<I3IpcClient> m_client;
};

} // namespace halvo
