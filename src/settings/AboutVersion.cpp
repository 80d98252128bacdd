// Version text with its fallbacks.
#include "settings/AboutVersion.h"

namespace halvo {

std::string AboutVersion::text(const BundleInfo& bundle) {
    return bundle.version().value_or("1.0") + " (" + bundle.build().value_or("1") + ")";
}

} // namespace halvo
