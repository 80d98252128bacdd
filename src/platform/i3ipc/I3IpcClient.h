// A connection to the IPC socket of i3 (or sway, which speaks the same protocol): one request
// at a time, each answered before the next. Every read and write is bounded by `timeout`, and a
// reply longer than maxReplyLength is refused, so a stuck or hostile peer costs at most a
// timeout and an I3IpcError, never a hang.
#pragma once

#include "platform/i3ipc/I3CommandResult.h"
#include "platform/i3ipc/I3IpcMessage.h"
#include "platform/i3ipc/I3Node.h"
#include "platform/i3ipc/I3Output.h"
#include "platform/i3ipc/I3Workspace.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace halvo {

class I3IpcClient {
public:
    // A layout tree of thousands of windows stays far below this.
    static constexpr std::uint32_t maxReplyLength = 16u << 20;
    static constexpr std::chrono::milliseconds defaultTimeout{1000};
    // For connections made once and kept (event subscriptions, shortcut bindings): a window
    // manager answers them at once unless it is swamped (a session starting, a client flooding
    // it with events), and giving up then would leave Halvo deaf until it is started again.
    static constexpr std::chrono::milliseconds setupTimeout{5000};

    // Connects to the Unix socket at `path`; throws I3IpcError when it cannot.
    explicit I3IpcClient(const std::string& path,
                         std::chrono::milliseconds timeout = defaultTimeout);
    ~I3IpcClient();
    I3IpcClient(const I3IpcClient&) = delete;
    I3IpcClient& operator=(const I3IpcClient&) = delete;

    // The raw JSON reply to one request; throws I3IpcError.
    std::string request(I3IpcMessage::Type type, std::string_view payload = {});

    std::vector<I3CommandResult> runCommand(std::string_view command);
    I3Node tree();
    std::vector<I3Output> outputs();
    std::vector<I3Workspace> workspaces();
    // Subscribes this connection to events of `eventTypes` ("window", "output", ...); throws
    // I3IpcError when the window manager refuses. The events then arrive on fd() and are
    // read with an I3EventReader, no longer with request().
    void subscribe(const std::vector<std::string>& eventTypes);

    // The connected socket (non-blocking), for a caller that watches it for events.
    int fd() const { return m_socket; }

private:
    void writeAll(std::string_view bytes);
    void readAll(char* into, std::size_t length);
    void waitFor(short events);

    int m_socket = -1;
    std::chrono::milliseconds m_timeout;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace halvo
