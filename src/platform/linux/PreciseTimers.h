// Runs functions at moments of the steady clock, to the microsecond: one timerfd, armed for the
// earliest deadline, that the event loop watches. QTimer counts whole milliseconds, which makes a
// 35 ms delay anything from 35 to 36.5 ms. However many timers wait, they hold one descriptor; a
// cancelled one only sets its flag, so it is dropped when it reaches the front of the queue or
// when cancelled ones pile up.
#pragma once

#include "platform/WorkItem.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

namespace halvo {

class PreciseTimers final : public QObject {
public:
    // Main thread. Without a timerfd (the process is out of file descriptors) a QTimer rounded up
    // to the next millisecond stands in.
    explicit PreciseTimers(QObject* parent = nullptr);
    ~PreciseTimers() override;
    PreciseTimers(const PreciseTimers&) = delete;
    PreciseTimers& operator=(const PreciseTimers&) = delete;

    // Main thread. `fn` runs on this thread's event loop at `deadline` (on the next pass of the
    // loop when it has passed) unless `item` is cancelled by then. Timers of one deadline run in
    // the order they were started.
    void start(std::chrono::steady_clock::time_point deadline, WorkItem item,
               std::function<void()> fn);

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        WorkItem item;
        std::function<void()> fn;
    };

    void arm();
    void fire();

    int m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_fallback;
    std::multimap<Clock::time_point, Timer> m_timers;
    std::size_t m_sweepAt = 64; // queue length at which cancelled timers are swept out
};

} // namespace halvo
