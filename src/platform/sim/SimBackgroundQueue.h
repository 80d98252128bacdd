// A background queue for tests: runs work inline when submitted, or holds it until the test
// steps it, so the order of main-thread and background work can be chosen exactly.
#pragma once

#include "platform/BackgroundQueue.h"

#include <deque>
#include <functional>

namespace halvo {

class SimBackgroundQueue final : public BackgroundQueue {
public:
    enum class Mode { inline_, stepped };

    explicit SimBackgroundQueue(Mode mode = Mode::inline_) : m_mode(mode) {}

    void async(std::function<void()> work) override;

    // Test controls (stepped mode).
    bool runNext(); // false when nothing is waiting
    void runAll();  // including work that the work itself submits
    std::size_t waiting() const { return m_waiting.size(); }
    std::size_t submitted() const { return m_submitted; }

private:
    Mode m_mode;
    std::deque<std::function<void()>> m_waiting;
    std::size_t m_submitted = 0;
};

} // namespace halvo
