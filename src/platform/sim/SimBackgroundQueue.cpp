// Inline or stepped background work for tests.
#include "platform/sim/SimBackgroundQueue.h"

#include <utility>

namespace halvo {

void SimBackgroundQueue::async(std::function<void()> work) {
    ++m_submitted;
    if (m_mode == Mode::inline_) {
        work();
        return;
    }
    m_waiting.push_back(std::move(work));
}

bool SimBackgroundQueue::runNext() {
    if (m_waiting.empty())
        return false;
    auto work = std::move(m_waiting.front());
    m_waiting.pop_front();
    work();
    return true;
}

void SimBackgroundQueue::runAll() {
    while (runNext()) {
    }
}

} // namespace halvo
