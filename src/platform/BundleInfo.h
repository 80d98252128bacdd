// What the program knows about itself: its identifier, its version and build, and its process
// environment.
#pragma once

#include <optional>
#include <string>

namespace halvo {

class BundleInfo {
public:
    virtual ~BundleInfo() = default;

    // The identifier under which the workspace lists this program itself.
    virtual std::string bundleIdentifier() const = 0;

    // The release version ("1.0.0") and the build that made this binary; nothing when unknown.
    virtual std::optional<std::string> version() const = 0;
    virtual std::optional<std::string> build() const = 0;

    // The process environment variable `name`; nothing when it is not set.
    virtual std::optional<std::string> environment(const std::string& name) const = 0;
};

} // namespace halvo
