// The version line of the About window, read from the program's information dictionary.
#pragma once

#include "platform/BundleInfo.h"

#include <string>

namespace halvo {

class AboutVersion {
public:
    // "1.0 (1)": the short version and the build, each a string value of its key; a missing key or
    // a value that is not a string gives "1.0" and "1".
    static std::string text(const BundleInfo& bundle);
};

} // namespace halvo
