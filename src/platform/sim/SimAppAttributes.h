// What a simulated application is launched with.
#pragma once

#include "platform/RunningApplication.h"

#include <optional>
#include <string>

namespace halvo {

struct SimAppAttributes {
    ProcessID pid = 0;
    std::optional<std::string> bundleIdentifier{};
    std::optional<std::string> name{};
    AppIconRef icon{};
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    bool hidden = false;
    // Whether the workspace can open it (the bundle location of the original platform).
    bool hasBundleURL = true;
    // Takes no focus, like xeyes: opening and activating it never makes it frontmost.
    bool refusesActivation = false;
};

} // namespace halvo
