// The overlay's observable state: the apps it shows, the highlighted and hovered ones, whether it
// is on screen, and its colour scheme. Written from outside, read by the view.
#pragma once

#include "core/TrackedApp.h"
#include "platform/Published.h"
#include "platform/Theme.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class MinimapModel {
public:
    Published<Theme> theme{Theme::system};
    Published<std::vector<TrackedApp>> apps;
    Published<std::optional<std::string>> highlightedBundleID;
    Published<bool> isVisible{false};
    Published<std::optional<std::string>> hoveredBundleID;

    // Calls `handler` after every assignment to any of the five properties, equal values included.
    [[nodiscard]] Subscription subscribeToChanges(std::function<void()> handler);

    // The index in `apps` of the entry whose id is `bundleID`; none when no entry has it.
    std::optional<std::size_t> indexOf(const std::optional<std::string>& bundleID) const;
};

} // namespace halvo
