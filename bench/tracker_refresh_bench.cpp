// How the list logic scales with the number of applications: the custom order merge alone, and a
// whole tracker refresh on top of it (with half of the saved order not running).
#include "core/RunningAppsTracker.h"
#include "platform/sim/SimMainQueue.h"
#include "platform/sim/SimSystemSound.h"
#include "platform/sim/SimUserDefaults.h"

#include <benchmark/benchmark.h>

using namespace halvo;

namespace {

std::vector<TrackedApp> makeApps(std::int64_t count) {
    std::vector<TrackedApp> apps;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::string id = "org.example.Application" + std::to_string(i);
        apps.push_back(
            {id, id, "Application " + std::to_string(i), static_cast<ProcessID>(i + 1), nullptr});
    }
    return apps;
}

std::vector<std::string> savedOrder(std::int64_t count) {
    // Reversed, with a stopped application between every two running ones.
    std::vector<std::string> order;
    for (std::int64_t i = count - 1; i >= 0; --i) {
        order.push_back("org.example.Application" + std::to_string(i));
        order.push_back("org.example.Stopped" + std::to_string(i));
    }
    return order;
}

void orderedIDs(benchmark::State& state) {
    SimUserDefaults defaults;
    defaults.preset(AppOrderStore::customAppOrderKey, savedOrder(state.range(0)));
    AppOrderStore store(defaults);
    std::vector<std::string> running;
    for (const TrackedApp& app : makeApps(state.range(0)))
        running.push_back(app.bundleIdentifier);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.orderedIDs(running));
    state.SetComplexityN(state.range(0));
}

void trackerRefresh(benchmark::State& state) {
    SimUserDefaults defaults;
    defaults.preset(AppOrderStore::customAppOrderKey, savedOrder(state.range(0)));
    SimMainQueue queue;
    SimSystemSound sound;
    const std::vector<TrackedApp> apps = makeApps(state.range(0));
    std::optional<std::string> frontmost = apps.front().bundleIdentifier;
    RunningAppsTracker tracker(
        AppOrderStore(defaults),
        RunningAppsTracker::Environment{[&](const std::string&) { return apps; },
                                        [&] { return frontmost; },
                                        [](ProcessID, auto) {},
                                        {}},
        RunningAppsTracker::Services{queue, sound, {}});
    for (auto _ : state)
        tracker.refresh(false);
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(orderedIDs)->RangeMultiplier(4)->Range(50, 3200)->Complexity();
BENCHMARK(trackerRefresh)->RangeMultiplier(4)->Range(50, 3200)->Complexity();
BENCHMARK_MAIN();
