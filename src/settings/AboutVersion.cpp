// Version text with its fallbacks.
#include "settings/AboutVersion.h"

namespace halvo {
namespace {

std::string stringValue(const BundleInfo& bundle, const std::string& key, const char* fallback) {
    const auto value = bundle.infoValue(key);
    if (value && std::holds_alternative<std::string>(*value))
        return std::get<std::string>(*value);
    return fallback;
}

} // namespace

std::string AboutVersion::text(const BundleInfo& bundle) {
    return stringValue(bundle, "CFBundleShortVersionString", "1.0") + " (" +
           stringValue(bundle, "CFBundleVersion", "1") + ")";
}

} // namespace halvo
