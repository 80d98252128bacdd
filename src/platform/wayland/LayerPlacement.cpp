// The output under a frame and the frame's margins from that output's bottom and left edges.
#include "platform/wayland/LayerPlacement.h"

#include <cmath>

namespace halvo {

std::optional<LayerPlacement> LayerPlacement::forFrame(Rect frame,
                                                       const std::vector<Screen>& screens) {
    if (frame.isEmpty())
        return std::nullopt;
    const Point centre{frame.midX(), frame.midY()};
    const Screen* chosen = nullptr;
    double bestOverlap = 0;
    for (const Screen& screen : screens) {
        if (screen.frame.contains(centre)) {
            chosen = &screen;
            break;
        }
        const double overlap = screen.frame.intersection(frame).area();
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            chosen = &screen;
        }
    }
    if (!chosen)
        return std::nullopt;
    const auto whole = [](double v) { return static_cast<int>(std::lround(v)); };
    return LayerPlacement{chosen->name, whole(frame.width), whole(frame.height),
                          whole(chosen->frame.maxY() - frame.maxY()),
                          whole(frame.minX() - chosen->frame.minX())};
}

} // namespace halvo
