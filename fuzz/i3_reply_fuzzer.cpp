// Feeds arbitrary bytes to the readers of i3's and sway's IPC (GET_TREE, GET_OUTPUTS,
// GET_WORKSPACES, RUN_COMMAND, SUBSCRIBE, the event stream) and to what Halvo builds from the
// replies (sway's applications, its screens): the first byte picks the reader. Each either
// returns plain values or throws I3IpcError; any other exception, crash or runaway recursion is
// a bug.
#include "platform/i3ipc/I3EventReader.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/i3ipc/I3Reply.h"
#include "platform/sway/SwayClientList.h"
#include "platform/sway/SwayLayout.h"

#include <cstdlib>
#include <string_view>

using halvo::I3EventReader;
using halvo::I3IpcError;
using halvo::I3Node;
using halvo::I3Reply;
using halvo::SwayClientList;
using halvo::SwayLayout;

namespace {

std::size_t depth(const I3Node& node) {
    std::size_t deepest = 0;
    for (const I3Node& child : node.children)
        deepest = std::max(deepest, depth(child));
    return deepest + 1;
}

void tree(std::string_view json, std::size_t size) {
    const I3Node root = I3Reply::tree(json);
    if (depth(root) > static_cast<std::size_t>(I3Reply::maxDepth))
        std::abort();
    root.findWindow(static_cast<std::uint32_t>(size));
    const SwayClientList list = SwayClientList::fromTree(root, static_cast<int>(size));
    for (const auto& app : list.applications()) {
        // Every application has a window, and a main window among its own.
        const auto* main = list.mainWindow(app);
        if (!main || list.owner(main->id) == nullptr || list.find(app.pid) == nullptr)
            std::abort();
    }
}

// Outputs, a newline, then workspaces.
void screens(std::string_view json) {
    const std::size_t split = json.find('\n');
    const auto outputs = I3Reply::outputs(json.substr(0, split));
    const auto workspaces = split == std::string_view::npos
                                ? decltype(I3Reply::workspaces("")){}
                                : I3Reply::workspaces(json.substr(split + 1));
    std::map<std::string, std::uint64_t> identifiers;
    std::uint64_t next = 1;
    std::optional<std::size_t> focused;
    const auto result = SwayLayout::screens(outputs, workspaces, identifiers, next, focused);
    if (focused && *focused >= result.size())
        std::abort();
}

// The bytes as a socket might deliver them, in chunks of every size from 1 up.
void events(std::string_view bytes) {
    I3EventReader reader(1 << 16);
    std::size_t chunk = 1;
    while (!bytes.empty()) {
        const std::size_t length = std::min(chunk++, bytes.size());
        reader.feed(bytes.substr(0, length));
        bytes.remove_prefix(length);
        while (reader.next()) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string_view json(reinterpret_cast<const char*>(bytes + 1), size - 1);
    try {
        switch (bytes[0] % 6) {
        case 0:
            tree(json, size);
            break;
        case 1:
            screens(json);
            break;
        case 2:
            I3Reply::commands(json);
            break;
        case 3:
            I3Reply::workspaces(json);
            break;
        case 4:
            I3Reply::success(json);
            break;
        default:
            events(json);
            break;
        }
    } catch (const I3IpcError&) {
    }
    return 0;
}
