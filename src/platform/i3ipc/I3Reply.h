// Parses the JSON replies of i3's IPC into plain values. The replies come from another
// process: anything that is not what the protocol promises (malformed JSON, wrong types, a tree
// nested deeper than maxDepth) throws I3IpcError; unknown fields are ignored.
#pragma once

#include "platform/i3ipc/I3CommandResult.h"
#include "platform/i3ipc/I3Node.h"
#include "platform/i3ipc/I3Output.h"
#include "platform/i3ipc/I3Workspace.h"

#include <string_view>
#include <vector>

namespace halvo {

class I3Reply {
public:
    // Far deeper than any real layout; keeps the recursive reading of the tree bounded.
    static constexpr int maxDepth = 200;

    static I3Node tree(std::string_view json);
    static std::vector<I3Output> outputs(std::string_view json);
    static std::vector<I3Workspace> workspaces(std::string_view json);
    static std::vector<I3CommandResult> commands(std::string_view json);
    // The {"success": bool} answer to SUBSCRIBE.
    static bool success(std::string_view json);
};

} // namespace halvo
