// A one-shot timerfd on the Qt event loop.
#include "platform/linux/PreciseTimeout.h"

#include <QTimer>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#include <utility>

namespace halvo {
namespace {

// steady_clock is CLOCK_MONOTONIC, the clock the timerfd runs on.
timespec monotonic(std::chrono::steady_clock::time_point time) {
    using namespace std::chrono;
    const auto since = duration_cast<nanoseconds>(time.time_since_epoch());
    const auto seconds = duration_cast<std::chrono::seconds>(since);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((since - seconds).count())};
}

int armedTimer(std::chrono::steady_clock::time_point deadline) {
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0)
        return -1;
    itimerspec expiry{};
    expiry.it_value = monotonic(deadline);
    if (expiry.it_value.tv_sec == 0 && expiry.it_value.tv_nsec == 0)
        expiry.it_value.tv_nsec = 1; // zero would disarm it
    if (timerfd_settime(fd, TFD_TIMER_ABSTIME, &expiry, nullptr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void PreciseTimeout::start(std::chrono::steady_clock::time_point deadline, std::function<void()> fn,
                           QObject* parent) {
    const int fd = armedTimer(deadline);
    if (fd >= 0) {
        new PreciseTimeout(fd, std::move(fn), parent);
        return;
    }
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(deadline - steady_clock::now());
    QTimer::singleShot(std::max(left, milliseconds(0)), Qt::PreciseTimer, parent, std::move(fn));
}

PreciseTimeout::PreciseTimeout(int fd, std::function<void()> fn, QObject* parent)
    : QObject(parent), m_fd(fd), m_notifier(fd, QSocketNotifier::Read), m_fn(std::move(fn)) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &PreciseTimeout::fire);
}

PreciseTimeout::~PreciseTimeout() {
    m_notifier.setEnabled(false);
    close(m_fd);
}

void PreciseTimeout::fire() {
    m_notifier.setEnabled(false);
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t ignored = read(m_fd, &expirations, sizeof expirations);
    std::function<void()> fn = std::move(m_fn);
    deleteLater();
    if (fn)
        fn();
}

} // namespace halvo
