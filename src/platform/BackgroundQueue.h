// Work that leaves the main thread: window moves and full-screen changes.
#pragma once

#include <functional>

namespace halvo {

class BackgroundQueue {
public:
    virtual ~BackgroundQueue() = default;

    // Runs work off the main thread. A serial queue runs its work one item at a time, in the order
    // submitted. The work hands its result back itself, through MainQueue::post.
    virtual void async(std::function<void()> work) = 0;
};

} // namespace halvo
