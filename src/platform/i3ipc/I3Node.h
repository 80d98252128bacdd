// One container of i3's layout tree (GET_TREE), reduced to what window placement needs.
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
    Rect rect;
    std::vector<I3Node> children; // nodes, then floating_nodes

    // The container holding X11 window `xid`, searched depth first; null when there is none.
    const I3Node* findWindow(std::uint32_t xid) const;
};

} // namespace halvo
