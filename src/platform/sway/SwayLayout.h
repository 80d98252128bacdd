// sway's outputs as screens, in sway's layout coordinates as they are. sway has no primary output;
// Halvo takes the active output whose layout rectangle holds the layout origin (0,0), where sway
// puts the first output unless configured otherwise, else the first active output sway lists.
#pragma once

#include "platform/Geometry.h"
#include "platform/Screens.h"
#include "platform/i3ipc/I3Output.h"
#include "platform/i3ipc/I3Workspace.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class SwayLayout {
public:
    // The primary output among the rectangles of the active outputs; nothing when there is none.
    static std::optional<std::size_t> primaryIndex(const std::vector<Rect>& outputs);

    // The output (index into `outputs`) that holds the larger part of `frame`, else the one
    // nearest to its centre; nothing when there are no outputs.
    static std::optional<std::size_t> outputFor(const Rect& frame,
                                                const std::vector<Rect>& outputs);

    // The screens from sway's replies, primary first; an output's visible frame is the rectangle
    // of the workspace it shows. Identifiers come from `identifiers` (by output name, which keeps
    // those of the outputs listed); outputs new to it get `next` and onwards. `focused` receives
    // the index of the focused output.
    static std::vector<Screen> screens(const std::vector<I3Output>& outputs,
                                       const std::vector<I3Workspace>& workspaces,
                                       std::map<std::string, std::uint64_t>& identifiers,
                                       std::uint64_t& next, std::optional<std::size_t>& focused);
};

} // namespace halvo
