// Lending IPC connections, see SwayIpcPool.h.
#include "platform/sway/SwayIpcPool.h"

namespace halvo {

std::unique_ptr<I3IpcClient> SwayIpcPool::take() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            std::unique_ptr<I3IpcClient> client = std::move(m_free.back());
            m_free.pop_back();
            return client;
        }
    }
    return std::make_unique<I3IpcClient>(m_socketPath);
}

void SwayIpcPool::give(std::unique_ptr<I3IpcClient> client) {
    std::lock_guard lock(m_mutex);
    m_free.push_back(std::move(client));
}

} // namespace halvo
