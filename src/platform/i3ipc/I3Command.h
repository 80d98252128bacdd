// Builds i3 commands from values that come from elsewhere (output and workspace names), quoted
// so that i3 reads them as names.
#pragma once

#include "platform/i3ipc/I3Output.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace halvo {

class I3Command {
public:
    // Moves container `conId` to `target`. i3 reads an output name such as "right", "primary"
    // or "current" as a direction or a role even when quoted, so an output so named is reached
    // through the workspace it shows instead.
    static std::string moveToOutput(std::int64_t conId, const I3Output& target);
    // `text` as one double-quoted argument of i3's command language.
    static std::string quoted(std::string_view text);
    // Whether i3 reads `name` after "move container to output" as something other than a name.
    static bool outputKeyword(std::string_view name);
};

} // namespace halvo
