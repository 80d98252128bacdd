// A handle to work scheduled on a queue or a timer; cancelling it stops the work from running.
#pragma once

#include <atomic>
#include <memory>

namespace halvo {

class WorkItem {
public:
    WorkItem() = default;

    // Creates a live handle; queues keep a copy and check isCancelled() before running the work.
    static WorkItem create() {
        WorkItem item;
        item.m_cancelled = std::make_shared<std::atomic<bool>>(false);
        return item;
    }

    // Safe from any thread, and on an empty handle.
    void cancel() {
        if (m_cancelled)
            m_cancelled->store(true);
    }
    bool isCancelled() const { return !m_cancelled || m_cancelled->load(); }
    bool isValid() const { return m_cancelled != nullptr; }

private:
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

} // namespace halvo
