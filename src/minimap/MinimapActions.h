// The two user actions the overlay view reports: activate an app, move an app in the order.
#pragma once

#include <functional>
#include <string>

namespace halvo {

struct MinimapActions {
    // The bundle identifier of the app a click (or the accessibility press) chose.
    std::function<void(const std::string& bundleID)> activate;
    // A completed drag: source index and insert-before destination (0...n, counted before the
    // source is removed).
    std::function<void(int source, int destination)> reorder;
};

} // namespace halvo
