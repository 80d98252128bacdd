// Delayed work on the Qt event loop: in deadline order, never before its time, not at all once
// cancelled, also when asked for from another thread.
#include "platform/linux/QtMainQueue.h"

#include <QEventLoop>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace halvo;

TEST(QtMainQueue, DelayedWorkRunsInDeadlineOrderNeverEarlyAndNotWhenCancelled) {
    using Clock = std::chrono::steady_clock;
    QtMainQueue queue;
    const Clock::time_point start = Clock::now();
    const auto elapsed = [start] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    // A delay counts from the postAfter call, which on a loaded machine may come well after
    // `start` (a thread is slow to start): each item's deadline lies between the call's start
    // and end, plus its delay, in milliseconds after `start`.
    struct Deadline {
        double earliest;
        double latest;
    };
    std::map<std::string, Deadline> deadlines;
    std::vector<std::pair<std::string, double>> ran; // name, milliseconds after start
    const auto post = [&](const std::string& name, double delayMs) {
        const double before = elapsed();
        WorkItem item = queue.postAfter(
            delayMs / 1000.0, [&ran, &elapsed, name] { ran.emplace_back(name, elapsed()); });
        deadlines[name] = {before + delayMs, elapsed() + delayMs};
        return item;
    };

    post("12 ms", 12);
    post("4.5 ms", 4.5);
    post("cancelled", 2).cancel();
    std::thread([&] { post("8 ms, from another thread", 8); }).join();
    QEventLoop loop;
    queue.postAfter(0.040, [&] { loop.quit(); });
    loop.exec();

    ASSERT_EQ(ran.size(), 3u);
    std::set<std::string> names;
    for (std::size_t i = 0; i < ran.size(); ++i) {
        const auto& [name, at] = ran[i];
        names.insert(name);
        EXPECT_GE(at, deadlines[name].earliest) << name << " ran early";
        // In deadline order: none ran before one whose deadline was surely earlier.
        if (i > 0) {
            EXPECT_LE(deadlines[ran[i - 1].first].earliest, deadlines[name].latest)
                << ran[i - 1].first << " ran before " << name;
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"12 ms", "4.5 ms", "8 ms, from another thread"}));
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
