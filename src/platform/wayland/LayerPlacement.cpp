// Screen space has y upwards from each screen's bottom, so the bottom margin is a plain
// difference of the frame's and the screen's bottom edges.
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
                          whole(frame.minY() - chosen->frame.minY()),
                          whole(frame.minX() - chosen->frame.minX())};
}

} // namespace halvo
