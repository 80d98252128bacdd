// One switchable application: its identity (the bundle identifier), name, process and icon.
#pragma once

#include "platform/AppIcon.h"
#include "platform/RunningApplication.h"

#include <cstddef>
#include <string>

namespace halvo {

struct TrackedApp {
    std::string id; // always equal to bundleIdentifier as built
    std::string bundleIdentifier;
    std::string name;
    ProcessID processIdentifier = 0;
    AppIconRef icon; // compared by identity: two icon objects are never equal

    // The record for a running application: an application without a bundle identifier is
    // keyed "pid.<process identifier>", and one without a name is named by its identifier.
    static TrackedApp from(const RunningApplication& application);

    bool operator==(const TrackedApp&) const = default;
};

struct TrackedAppHash {
    std::size_t operator()(const TrackedApp& app) const;
};

} // namespace halvo
