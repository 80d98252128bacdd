// The worker queue behind window moves and full-screen changes.
#include "platform/ThreadBackgroundQueue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

using namespace halvo;

TEST(ThreadBackgroundQueue, SerialQueueRunsOffTheCallingThreadInSubmissionOrder) {
    std::vector<int> order;
    std::mutex mutex;
    std::atomic<bool> offThread{true};
    const auto caller = std::this_thread::get_id();
    {
        ThreadBackgroundQueue queue("test.serial", ThreadBackgroundQueue::Kind::serial);
        for (int i = 0; i < 50; ++i) {
            queue.async([&, i] {
                if (std::this_thread::get_id() == caller)
                    offThread = false;
                if (i % 7 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                std::lock_guard lock(mutex);
                order.push_back(i);
            });
        }
    } // destruction finishes the pending work
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(offThread);
}

TEST(ThreadBackgroundQueue, ConcurrentQueueRunsItemsAtTheSameTime) {
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    {
        ThreadBackgroundQueue queue("test.concurrent", ThreadBackgroundQueue::Kind::concurrent, 2);
        for (int i = 0; i < 2; ++i) {
            queue.async([&] {
                const int now = ++running;
                peak = std::max(peak.load(), now);
                // Wait (bounded) for the other item to start too.
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (running < 2 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                peak = std::max(peak.load(), running.load());
                --running;
            });
        }
    }
    EXPECT_EQ(peak, 2);
}
