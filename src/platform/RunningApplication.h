// A snapshot of one running application as the workspace describes it.
#pragma once

#include "platform/AppIcon.h"

#include <cstdint>
#include <optional>
#include <string>

namespace halvo {

using ProcessID = std::int32_t;

enum class ActivationPolicy {
    regular,    // has ordinary windows and takes part in switching
    accessory,  // utility windows only (panels, Halvo itself)
    prohibited, // no windows of its own (docks, desktops)
};

struct RunningApplication {
    ProcessID processIdentifier = 0;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    AppIconRef icon;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    bool isTerminated = false;
    bool isHidden = false;
    // Whether the workspace knows how to open (bring forward) the application: the bundle
    // location of the original platform.
    bool hasBundleURL = true;
};

} // namespace halvo
