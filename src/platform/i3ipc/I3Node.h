// One container of i3's (or sway's) layout tree (GET_TREE), reduced to what window placement and
// the application list need.
#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

struct I3Node {
    std::int64_t id = 0; // the con_id commands select with [con_id=N]
    std::string type;    // "root", "output", "workspace", "con", "floating_con", ...
    std::string name;
    std::optional<std::uint32_t> window; // the X11 window it holds, if any
    bool floating = false; // in a workspace's floating_nodes, or inside such a container
    // The container's area without its title bar (as i3 reports it), in layout coordinates.
    Rect rect;
    double titleHeight = 0; // the title bar above `rect` (deco_rect), 0 without one

    // Windows (sway): the Wayland app_id, or for an X11 window its WM_CLASS and _NET_WM_WINDOW_TYPE
    // ("normal", "dialog", "utility", ...) as sway decoded them; the client's process.
    std::string appId;
    std::string windowClass;
    std::string windowInstance;
    std::string windowType;
    std::string shell; // "xdg_shell", "xwayland"; empty for containers that hold no window
    std::int32_t pid = 0;
    bool focused = false;
    int fullScreenMode = 0; // 0 none, 1 full screen on its output, 2 across all outputs

    // Outputs: the name of the workspace shown (empty when none or not reported).
    std::string currentWorkspace;

    std::vector<std::int64_t> focusOrder; // the children's ids, most recently focused first
    std::vector<I3Node> children;         // nodes, then floating_nodes

    // Whether the container holds a client window (as opposed to a split, a workspace...).
    bool holdsWindow() const { return window.has_value() || !shell.empty(); }

    // The container holding X11 window `xid`, searched depth first; null when there is none.
    const I3Node* findWindow(std::uint32_t xid) const;
    // The container with con_id `conId`, searched depth first; null when there is none.
    const I3Node* find(std::int64_t conId) const;
};

} // namespace halvo
