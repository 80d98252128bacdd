// One workspace as GET_WORKSPACES reports it.
#pragma once

#include "platform/Geometry.h"

#include <string>

namespace halvo {

struct I3Workspace {
    std::string name;
    std::string output;
    bool visible = false; // shown on its output
    bool focused = false;
    // The area windows may take on its output: the output less what bars and panels reserve,
    // in layout coordinates.
    Rect rect;
};

} // namespace halvo
