// The outcome of one command of a RUN_COMMAND request.
#pragma once

#include <string>

namespace halvo {

struct I3CommandResult {
    bool success = false;
    std::string error; // i3's reason when it failed
};

} // namespace halvo
