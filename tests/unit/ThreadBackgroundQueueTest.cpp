// The worker queue behind window moves and full-screen changes.
#include "platform/ThreadBackgroundQueue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <latch>
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
    // Each item arrives, then waits (bounded, so a serial queue fails instead of hanging) until
    // both have arrived. The latch stays open once reached, so neither item can miss it.
    std::latch bothStarted(2);
    std::atomic<int> sawTheOther{0};
    {
        ThreadBackgroundQueue queue("test.concurrent", ThreadBackgroundQueue::Kind::concurrent, 2);
        for (int i = 0; i < 2; ++i) {
            queue.async([&] {
                bothStarted.count_down();
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (!bothStarted.try_wait() && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                if (bothStarted.try_wait())
                    ++sawTheOther;
            });
        }
    }
    EXPECT_EQ(sawTheOther, 2);
}
