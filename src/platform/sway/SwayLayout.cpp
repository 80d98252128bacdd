// The primary output and the output under a frame, see SwayLayout.h.
#include "platform/sway/SwayLayout.h"

#include <cmath>
#include <limits>

namespace halvo {

std::optional<std::size_t> SwayLayout::primaryIndex(const std::vector<Rect>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].contains({0, 0}))
            return i;
    }
    if (outputs.empty())
        return std::nullopt;
    return 0;
}

std::optional<std::size_t> SwayLayout::outputFor(const Rect& frame,
                                                 const std::vector<Rect>& outputs) {
    std::optional<std::size_t> best;
    double bestArea = 0;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const double area = frame.intersection(outputs[i]).area();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (best)
        return best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const double distance =
            std::hypot(outputs[i].midX() - frame.midX(), outputs[i].midY() - frame.midY());
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace halvo
