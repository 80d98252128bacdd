// The virtual clock that every timing test relies on.
#include "platform/sim/SimMainQueue.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace halvo;

TEST(SimMainQueue, RunsDelayedWorkInDueOrderOnlyWhenTheClockReachesIt) {
    SimMainQueue queue;
    std::vector<std::string> ran;
    queue.postAfter(0.6, [&] { ran.push_back("late"); });
    queue.postAfter(0.035, [&] { ran.push_back("early"); });
    queue.post([&] { ran.push_back("now"); });

    queue.runPending();
    EXPECT_EQ(ran, (std::vector<std::string>{"now"}));
    queue.advance(0.5);
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "early"}));
    queue.advance(0.1);
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "early", "late"}));
}

TEST(SimMainQueue, CancelledWorkNeverRuns) {
    SimMainQueue queue;
    int runs = 0;
    WorkItem item = queue.postAfter(0.6, [&] { ++runs; });
    item.cancel();
    queue.advance(1);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST(SimMainQueue, WorkSeesTheClockAtItsDueTimeAndMayPostMore) {
    SimMainQueue queue;
    std::vector<double> times;
    queue.postAfter(0.035, [&] {
        times.push_back(queue.now());
        queue.postAfter(0.15, [&] { times.push_back(queue.now()); });
    });
    queue.advance(1);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_DOUBLE_EQ(times[0], 0.035);
    EXPECT_DOUBLE_EQ(times[1], 0.185);
    EXPECT_DOUBLE_EQ(queue.now(), 1.0);
}

TEST(SimMainQueue, RepeatingTimerFiresEveryIntervalUntilCancelled) {
    SimMainQueue queue;
    int ticks = 0;
    WorkItem timer = queue.scheduleRepeating(2.0, [&] { ++ticks; });
    queue.advance(6.5);
    EXPECT_EQ(ticks, 3);
    timer.cancel();
    queue.advance(10);
    EXPECT_EQ(ticks, 3);
}
