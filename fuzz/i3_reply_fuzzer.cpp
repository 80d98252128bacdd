// Feeds arbitrary bytes to the readers of i3's IPC replies (GET_TREE, GET_OUTPUTS,
// RUN_COMMAND): the first byte picks the reader. Each either returns plain values or throws
// I3IpcError; any other exception, crash or runaway recursion is a bug.
#include "platform/i3ipc/I3IpcError.h"
#include "platform/i3ipc/I3Reply.h"

#include <cstdlib>
#include <string_view>

using halvo::I3IpcError;
using halvo::I3Node;
using halvo::I3Reply;

namespace {

std::size_t depth(const I3Node& node) {
    std::size_t deepest = 0;
    for (const I3Node& child : node.children)
        deepest = std::max(deepest, depth(child));
    return deepest + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string_view json(reinterpret_cast<const char*>(bytes + 1), size - 1);
    try {
        switch (bytes[0] % 3) {
        case 0: {
            const I3Node tree = I3Reply::tree(json);
            if (depth(tree) > static_cast<std::size_t>(I3Reply::maxDepth))
                std::abort();
            tree.findWindow(static_cast<std::uint32_t>(size));
            break;
        }
        case 1:
            I3Reply::outputs(json);
            break;
        default:
            I3Reply::commands(json);
            break;
        }
    } catch (const I3IpcError&) {
    }
    return 0;
}
