// Deterministic main queue for tests.
#include "platform/sim/SimMainQueue.h"

#include <algorithm>
#include <utility>

namespace halvo {

void SimMainQueue::post(std::function<void()> fn) {
    schedule(now(), 0, WorkItem::create(), std::move(fn));
}

WorkItem SimMainQueue::postAfter(double seconds, std::function<void()> fn) {
    WorkItem item = WorkItem::create();
    schedule(now() + std::max(seconds, 0.0), 0, item, std::move(fn));
    return item;
}

WorkItem SimMainQueue::scheduleRepeating(double interval, std::function<void()> fn) {
    WorkItem item = WorkItem::create();
    schedule(now() + interval, std::max(interval, 1e-9), item, std::move(fn));
    return item;
}

double SimMainQueue::now() const {
    std::lock_guard lock(m_mutex);
    return m_now;
}

void SimMainQueue::schedule(double due, double interval, WorkItem item, std::function<void()> fn) {
    std::lock_guard lock(m_mutex);
    m_entries.push_back({due, m_nextSequence++, interval, std::move(item), std::move(fn)});
}

void SimMainQueue::runPending() {
    while (runNextDueBy(now())) {
    }
}

void SimMainQueue::advance(double seconds) {
    const double deadline = now() + seconds;
    while (runNextDueBy(deadline)) {
    }
    std::lock_guard lock(m_mutex);
    m_now = std::max(m_now, deadline);
}

bool SimMainQueue::runNextDueBy(double deadline) {
    Entry entry;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_entries, [](const Entry& e) { return e.item.isCancelled(); });
        auto next = std::min_element(
            m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
        if (next == m_entries.end() || next->due > deadline + 1e-12)
            return false;
        entry = std::move(*next);
        m_entries.erase(next);
        m_now = std::max(m_now, entry.due);
        if (entry.interval > 0) {
            m_entries.push_back({entry.due + entry.interval, m_nextSequence++, entry.interval,
                                 entry.item, entry.fn});
        }
    }
    entry.fn();
    return true;
}

std::size_t SimMainQueue::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count_if(
        m_entries.begin(), m_entries.end(), [](const Entry& e) { return !e.item.isCancelled(); }));
}

} // namespace halvo
