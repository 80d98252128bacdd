// A main queue on a virtual clock: nothing runs until the test says so, and time passes only
// through advance().
#pragma once

#include "platform/MainQueue.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace halvo {

class SimMainQueue final : public MainQueue {
public:
    void post(std::function<void()> fn) override;
    WorkItem postAfter(double seconds, std::function<void()> fn) override;
    WorkItem scheduleRepeating(double interval, std::function<void()> fn) override;
    double now() const override;

    // Test controls.
    // Runs everything that is due now, including work that the work itself posts for now.
    void runPending();
    // Moves the clock forward, running due work in time order (ties in posting order) with the
    // clock set to each item's due time.
    void advance(double seconds);
    // Items still waiting (cancelled ones excluded).
    std::size_t pendingCount() const;

private:
    struct Entry {
        double due = 0;
        std::uint64_t sequence = 0;
        double interval = 0; // > 0 for repeating work
        WorkItem item;
        std::function<void()> fn;
    };

    bool runNextDueBy(double deadline);
    void schedule(double due, double interval, WorkItem item, std::function<void()> fn);

    mutable std::mutex m_mutex;
    double m_now = 0;
    std::uint64_t m_nextSequence = 0;
    std::vector<Entry> m_entries;
};

} // namespace halvo
