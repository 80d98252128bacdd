// Building and hashing tracked-application records.
#include "core/TrackedApp.h"

#include <functional>

namespace halvo {

TrackedApp TrackedApp::from(const RunningApplication& application) {
    const std::string identifier = application.bundleIdentifier.value_or(
        "pid." + std::to_string(application.processIdentifier));
    return TrackedApp{identifier, identifier, application.localizedName.value_or(identifier),
                      application.processIdentifier, application.icon};
}

std::size_t TrackedAppHash::operator()(const TrackedApp& app) const {
    std::size_t seed = 0;
    const auto combine = [&seed](std::size_t value) {
        seed ^= value + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2);
    };
    const std::hash<std::string> hashString;
    combine(hashString(app.id));
    combine(hashString(app.bundleIdentifier));
    combine(hashString(app.name));
    combine(std::hash<std::int32_t>{}(app.processIdentifier));
    combine(app.icon ? 1 : 0);
    if (app.icon)
        combine(std::hash<const AppIcon*>{}(app.icon.get()));
    return seed;
}

} // namespace halvo
