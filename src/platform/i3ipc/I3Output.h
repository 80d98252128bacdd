// One output as GET_OUTPUTS reports it.
#pragma once

#include "platform/Geometry.h"

#include <string>

namespace halvo {

struct I3Output {
    std::string name;
    bool active = false;
    Rect rect;                    // layout coordinates
    std::string currentWorkspace; // empty when the output shows none
    bool focused = false;         // sway: the output holding the focus
};

} // namespace halvo
