// Worker threads behind BackgroundQueue.
#include "platform/ThreadBackgroundQueue.h"

#include <algorithm>
#include <pthread.h>
#include <utility>

namespace halvo {

ThreadBackgroundQueue::ThreadBackgroundQueue(std::string label, Kind kind, unsigned workers)
    : m_label(std::move(label)) {
    const unsigned count = kind == Kind::serial ? 1 : std::max(workers, 1u);
    for (unsigned i = 0; i < count; ++i)
        m_threads.emplace_back([this] { run(); });
}

ThreadBackgroundQueue::~ThreadBackgroundQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (auto& thread : m_threads)
        thread.join();
}

void ThreadBackgroundQueue::async(std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    m_wake.notify_one();
}

void ThreadBackgroundQueue::run() {
    // Linux limits thread names to 15 characters; keep the end, which is the distinctive part.
    const std::string name = m_label.size() > 15 ? m_label.substr(m_label.size() - 15) : m_label;
    pthread_setname_np(pthread_self(), name.c_str());
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_work.empty(); });
            if (m_work.empty())
                return;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
    }
}

} // namespace halvo
