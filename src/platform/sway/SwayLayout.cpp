// The primary output and the output under a frame, see SwayLayout.h.
#include "platform/sway/SwayLayout.h"

#include <algorithm>
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

std::vector<Screen> SwayLayout::screens(const std::vector<I3Output>& outputs,
                                        const std::vector<I3Workspace>& workspaces,
                                        std::map<std::string, std::uint64_t>& identifiers,
                                        std::uint64_t& next, std::optional<std::size_t>& focused) {
    std::vector<const I3Output*> active;
    std::vector<Rect> rects;
    for (const I3Output& output : outputs) {
        if (output.active && !output.rect.isEmpty()) {
            active.push_back(&output);
            rects.push_back(output.rect);
        }
    }
    focused.reset();
    const std::optional<std::size_t> primary = SwayLayout::primaryIndex(rects);
    if (!primary) {
        identifiers.clear();
        return {};
    }
    // Primary first, the others in sway's order.
    std::rotate(active.begin(), active.begin() + static_cast<std::ptrdiff_t>(*primary),
                active.begin() + static_cast<std::ptrdiff_t>(*primary) + 1);
    std::map<std::string, std::uint64_t> kept;
    std::vector<Screen> result;
    for (const I3Output* output : active) {
        Screen screen;
        screen.name = output->name;
        const auto known = identifiers.find(output->name);
        screen.identifier = known != identifiers.end() ? known->second : next++;
        kept[output->name] = screen.identifier;
        screen.frame = output->rect;
        Rect visible = output->rect;
        for (const I3Workspace& workspace : workspaces) {
            if (workspace.name == output->currentWorkspace && workspace.output == output->name &&
                !workspace.rect.isEmpty())
                visible = workspace.rect.intersection(output->rect);
        }
        screen.visibleFrame = visible;
        if (output->focused)
            focused = result.size();
        result.push_back(std::move(screen));
    }
    identifiers = std::move(kept);
    return result;
}

} // namespace halvo
