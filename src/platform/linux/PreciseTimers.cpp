// One timerfd on the Qt event loop for every delayed function.
#include "platform/linux/PreciseTimers.h"

#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace halvo {
namespace {

// steady_clock is CLOCK_MONOTONIC, the clock the timerfd runs on.
timespec monotonic(std::chrono::steady_clock::time_point time) {
    using namespace std::chrono;
    const auto since = duration_cast<nanoseconds>(time.time_since_epoch());
    const auto seconds = duration_cast<std::chrono::seconds>(since);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((since - seconds).count())};
}

} // namespace

PreciseTimers::PreciseTimers(QObject* parent)
    : QObject(parent), m_fd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &PreciseTimers::fire);
    }
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &PreciseTimers::fire);
}

PreciseTimers::~PreciseTimers() {
    if (m_fd < 0)
        return;
    m_notifier.reset();
    close(m_fd);
}

void PreciseTimers::start(Clock::time_point deadline, WorkItem item, std::function<void()> fn) {
    m_timers.emplace(deadline, Timer{std::move(item), std::move(fn)});
    if (m_timers.size() >= m_sweepAt) {
        std::erase_if(m_timers, [](const auto& timer) { return timer.second.item.isCancelled(); });
        m_sweepAt = std::max<std::size_t>(64, 2 * m_timers.size());
    }
    arm();
}

// Arms the timer for the earliest deadline still wanted, or disarms it.
void PreciseTimers::arm() {
    while (!m_timers.empty() && m_timers.begin()->second.item.isCancelled())
        m_timers.erase(m_timers.begin());
    itimerspec expiry{};
    if (!m_timers.empty()) {
        expiry.it_value = monotonic(m_timers.begin()->first);
        if (expiry.it_value.tv_sec == 0 && expiry.it_value.tv_nsec == 0)
            expiry.it_value.tv_nsec = 1; // zero would disarm it
    }
    if (m_fd >= 0 && timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &expiry, nullptr) == 0)
        return;
    if (m_timers.empty()) {
        m_fallback.stop();
        return;
    }
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(m_timers.begin()->first - Clock::now());
    m_fallback.start(std::max(left, milliseconds(0)));
}

void PreciseTimers::fire() {
    if (m_fd >= 0) {
        std::uint64_t expirations = 0;
        [[maybe_unused]] const ssize_t ignored = read(m_fd, &expirations, sizeof expirations);
    }
    // Taken out before any runs: a function may start timers of its own.
    std::vector<Timer> due;
    const Clock::time_point now = Clock::now();
    while (!m_timers.empty() && m_timers.begin()->first <= now) {
        due.push_back(std::move(m_timers.begin()->second));
        m_timers.erase(m_timers.begin());
    }
    arm();
    for (Timer& timer : due) {
        if (!timer.item.isCancelled())
            timer.fn();
    }
}

} // namespace halvo
