// Delayed work on the Qt event loop: in deadline order, never before its time, not at all once
// cancelled, also when asked for from another thread.
#include "platform/linux/QtMainQueue.h"

#include <QEventLoop>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace halvo;

TEST(QtMainQueue, DelayedWorkRunsInDeadlineOrderNeverEarlyAndNotWhenCancelled) {
    using Clock = std::chrono::steady_clock;
    QtMainQueue queue;
    const Clock::time_point start = Clock::now();
    std::vector<std::pair<std::string, double>> ran; // name, milliseconds after start
    auto record = [&](std::string name) {
        return [&ran, start, name = std::move(name)] {
            ran.emplace_back(
                name, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        };
    };

    queue.postAfter(0.012, record("12 ms"));
    queue.postAfter(0.0045, record("4.5 ms"));
    WorkItem cancelled = queue.postAfter(0.002, record("cancelled"));
    cancelled.cancel();
    std::thread([&] { queue.postAfter(0.008, record("8 ms, from another thread")); }).join();
    QEventLoop loop;
    queue.postAfter(0.040, [&] { loop.quit(); });
    loop.exec();

    ASSERT_EQ(ran.size(), 3u);
    EXPECT_EQ(ran[0].first, "4.5 ms");
    EXPECT_EQ(ran[1].first, "8 ms, from another thread");
    EXPECT_EQ(ran[2].first, "12 ms");
    EXPECT_GE(ran[0].second, 4.5);
    EXPECT_GE(ran[1].second, 8.0);
    EXPECT_GE(ran[2].second, 12.0);
}

// A storm of steps starts and cancels timers by the thousand (each step's activation delay):
// waiting timers, cancelled or not, hold no descriptor each.
TEST(QtMainQueue, ThousandsOfWaitingTimersHoldNoDescriptorEach) {
    const auto descriptors = [] {
        const std::filesystem::directory_iterator entries("/proc/self/fd");
        return std::distance(std::filesystem::begin(entries), std::filesystem::end(entries));
    };
    QtMainQueue queue;
    const auto before = descriptors();
    int ran = 0;
    for (int i = 0; i < 2000; ++i) {
        WorkItem item = queue.postAfter(10.0 + i * 0.001, [&] { ++ran; });
        if (i % 2 == 0)
            item.cancel();
    }
    queue.postAfter(0.001, [&] { ++ran; });
    QEventLoop loop;
    queue.postAfter(0.020, [&] { loop.quit(); });
    loop.exec();
    EXPECT_EQ(ran, 1);
    EXPECT_LT(descriptors() - before, 8) << "descriptors held by 2000 waiting timers";
}
