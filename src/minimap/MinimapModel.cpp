// Change notices of the overlay's state, gathered into one subscription.
#include "minimap/MinimapModel.h"

#include <memory>

namespace halvo {

Subscription MinimapModel::subscribeToChanges(std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    auto subscriptions = std::make_shared<std::vector<Subscription>>();
    subscriptions->push_back(theme.subscribe([shared](const auto&) { (*shared)(); }));
    subscriptions->push_back(apps.subscribe([shared](const auto&) { (*shared)(); }));
    subscriptions->push_back(highlightedBundleID.subscribe([shared](const auto&) { (*shared)(); }));
    subscriptions->push_back(isVisible.subscribe([shared](const auto&) { (*shared)(); }));
    subscriptions->push_back(hoveredBundleID.subscribe([shared](const auto&) { (*shared)(); }));
    return Subscription([subscriptions] { subscriptions->clear(); });
}

std::optional<std::size_t> MinimapModel::indexOf(const std::optional<std::string>& bundleID) const {
    if (!bundleID)
        return std::nullopt;
    const auto& list = apps.get();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == *bundleID)
            return i;
    }
    return std::nullopt;
}

} // namespace halvo
