// Where a layer surface goes so that it covers a frame given in layout coordinates: the output
// whose screen holds the frame, the frame's size, and its distances from that output's bottom and
// left edges (the surface is anchored to both). All in logical pixels: the compositor scales the
// surface's buffer to them.
#pragma once

#include "platform/Geometry.h"
#include "platform/Screens.h"

#include <optional>
#include <string>
#include <vector>

namespace halvo {

struct LayerPlacement {
    std::string outputName; // the screen's name, which is its output's name on sway
    int width = 0;
    int height = 0;
    int bottomMargin = 0;
    int leftMargin = 0;

    bool operator==(const LayerPlacement&) const = default;

    // The screen holding the frame's centre (else the one it overlaps most); nullopt when the
    // frame is empty or lies on no screen.
    static std::optional<LayerPlacement> forFrame(Rect frame, const std::vector<Screen>& screens);
};

} // namespace halvo
