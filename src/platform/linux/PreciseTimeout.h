// Runs a function once at a moment of the steady clock, to the microsecond: a timerfd that the
// event loop watches. QTimer counts whole milliseconds, which makes a 35 ms delay anything from
// 35 to 36.5 ms.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <functional>

namespace halvo {

class PreciseTimeout final : public QObject {
public:
    // Main thread. `fn` runs on this thread's event loop at `deadline` (at once when it has
    // passed), unless `parent` is gone by then. Without a timerfd (the process is out of file
    // descriptors) a QTimer rounded up to the next millisecond stands in.
    static void start(std::chrono::steady_clock::time_point deadline, std::function<void()> fn,
                      QObject* parent);

    ~PreciseTimeout() override;

private:
    PreciseTimeout(int fd, std::function<void()> fn, QObject* parent);
    void fire();

    int m_fd;
    QSocketNotifier m_notifier;
    std::function<void()> m_fn;
};

} // namespace halvo
