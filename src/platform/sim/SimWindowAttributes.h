// A simulated window: the accessibility attributes it answers with and how it reacts to writes.
#pragma once

#include "platform/AXTypes.h"
#include "platform/Geometry.h"

#include <optional>
#include <string>

namespace halvo {

struct SimWindowAttributes {
    std::string role = ax::windowRole;
    std::optional<std::string> subrole = std::string(ax::standardWindowSubrole); // nothing: none
    bool minimized = false;
    bool main = false;
    bool focused = false;
    std::optional<bool> fullScreen = false; // nothing: the window has no such attribute
    Rect frame{100, 100, 800, 600};         // accessibility space
    bool positionSettable = true;
    bool sizeSettable = true;
    bool fullScreenSettable = true;
    // Writes that report success but leave the window where it is (a window manager that
    // constrains the window, for example).
    bool ignoresMoves = false;
    bool ignoresResizes = false;
};

} // namespace halvo
