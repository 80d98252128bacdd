// The main thread's queue: the only place where the logic's state is touched.
#pragma once

#include "platform/WorkItem.h"

#include <functional>

namespace halvo {

class MainQueue {
public:
    virtual ~MainQueue() = default;

    // Runs fn on the main thread after the current event has been handled. Safe from any thread.
    virtual void post(std::function<void()> fn) = 0;

    // Runs fn on the main thread once, `seconds` from now, unless the returned item is cancelled.
    virtual WorkItem postAfter(double seconds, std::function<void()> fn) = 0;

    // Runs fn on the main thread every `interval` seconds until the returned item is cancelled.
    virtual WorkItem scheduleRepeating(double interval, std::function<void()> fn) = 0;

    // Monotonic seconds; only differences mean anything.
    virtual double now() const = 0;
};

} // namespace halvo
