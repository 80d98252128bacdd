// The main queue on the Qt event loop of the main thread.
#pragma once

#include "platform/MainQueue.h"
#include "platform/linux/PreciseTimers.h"

#include <QObject>
#include <chrono>

namespace halvo {

class QtMainQueue final : public QObject, public MainQueue {
    Q_OBJECT
public:
    // Must be created on the thread that runs the Qt event loop.
    explicit QtMainQueue(QObject* parent = nullptr);
    ~QtMainQueue() override;

    void post(std::function<void()> fn) override;
    WorkItem postAfter(double seconds, std::function<void()> fn) override;
    WorkItem scheduleRepeating(double interval, std::function<void()> fn) override;
    double now() const override;

private:
    // Runs fn on the main thread: at once when called there, else through the event queue.
    void onMainThread(std::function<void()> fn);

    std::chrono::steady_clock::time_point m_start;
    PreciseTimers m_timers; // postAfter's, all on one timerfd
};

} // namespace halvo
