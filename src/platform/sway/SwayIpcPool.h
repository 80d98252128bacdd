// Connections to sway's IPC socket for requests from any thread. One I3IpcClient answers one
// request at a time, and the window services are called from the main thread and from workers
// at once, so each call borrows a connection of its own from the pool for as long as it runs,
// and gives it back afterwards. A connection that saw an error (a timeout leaves a reply
// unread) is closed instead of given back. Only as many connections exist as calls ever ran at
// the same time.
#pragma once

#include "platform/i3ipc/I3IpcClient.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace halvo {

class SwayIpcPool {
public:
    explicit SwayIpcPool(std::string socketPath) : m_socketPath(std::move(socketPath)) {}

    const std::string& socketPath() const { return m_socketPath; }

    // Calls `use` with a connection no other call is using (opened when none is free) and returns
    // what it returns; I3IpcError from connecting or from `use` propagates.
    template <typename Use> auto with(Use&& use) {
        std::unique_ptr<I3IpcClient> client = take();
        auto result = use(*client); // on a throw the client is closed, never reused
        give(std::move(client));
        return result;
    }

private:
    std::unique_ptr<I3IpcClient> take();
    void give(std::unique_ptr<I3IpcClient> client);

    std::string m_socketPath;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<I3IpcClient>> m_free;
};

} // namespace halvo
