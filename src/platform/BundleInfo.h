// What the program knows about itself: its identifier, the values of its information dictionary
// (version, build) and its process environment.
#pragma once

#include <optional>
#include <string>
#include <variant>

namespace halvo {

// A value of the information dictionary: a string, or a number.
using InfoValue = std::variant<std::string, double>;

class BundleInfo {
public:
    virtual ~BundleInfo() = default;

    // The identifier under which the workspace lists this program itself.
    virtual std::string bundleIdentifier() const = 0;

    // "CFBundleShortVersionString", "CFBundleVersion", ...; nothing when the key is absent.
    virtual std::optional<InfoValue> infoValue(const std::string& key) const = 0;

    // The process environment variable `name`; nothing when it is not set.
    virtual std::optional<std::string> environment(const std::string& name) const = 0;
};

} // namespace halvo
