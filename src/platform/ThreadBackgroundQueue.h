// A background queue on plain worker threads: serial (one worker, submission order) or concurrent
// (a small pool). Pending work is finished before destruction returns.
#pragma once

#include "platform/BackgroundQueue.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halvo {

class ThreadBackgroundQueue final : public BackgroundQueue {
public:
    enum class Kind { serial, concurrent };

    // `label` names the worker threads (shortened to what the system allows) for debuggers.
    // A concurrent queue runs up to `workers` items at once (at least 1).
    ThreadBackgroundQueue(std::string label, Kind kind, unsigned workers = 2);
    ~ThreadBackgroundQueue() override;
    ThreadBackgroundQueue(const ThreadBackgroundQueue&) = delete;
    ThreadBackgroundQueue& operator=(const ThreadBackgroundQueue&) = delete;

    void async(std::function<void()> work) override;

    const std::string& label() const { return m_label; }

private:
    void run();

    std::string m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_work;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace halvo
