// Which tag each herbstluftwm monitor shows. herbstluftwm publishes only the focused monitor's
// tag (_NET_CURRENT_DESKTOP), so the others are asked of the herbstclient program, when it is
// installed, with `herbstclient list_monitors`.
#pragma once

#include "platform/Geometry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvo {

class HerbstclientMonitors {
public:
    struct Monitor {
        Rect rootFrame;
        std::string tag;
    };

    // Runs herbstclient (at most about a second); sets `error` and returns nothing when it is
    // missing or fails.
    static std::optional<std::vector<Monitor>> read(std::string& error);
    // Lines such as `1: 1280x1024+1280+0 with tag "web" [FOCUS]`; lines of another shape are
    // left out.
    static std::vector<Monitor> parse(std::string_view listMonitors);
};

} // namespace halvo
