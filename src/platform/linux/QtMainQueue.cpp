// Posting, timers and cancellation on the Qt event loop.
#include "platform/linux/QtMainQueue.h"

#include <QThread>
#include <QTimer>
#include <cmath>
#include <utility>

namespace halvo {
namespace {

int milliseconds(double seconds) {
    return static_cast<int>(std::lround(std::max(seconds, 0.0) * 1000.0));
}

} // namespace

QtMainQueue::QtMainQueue(QObject* parent)
    : QObject(parent), m_start(std::chrono::steady_clock::now()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(std::function<void()> fn) {
    // Queued even on the main thread: the work runs after the current event.
    QMetaObject::invokeMethod(
        this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

void QtMainQueue::onMainThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    post(std::move(fn));
}

WorkItem QtMainQueue::postAfter(double seconds, std::function<void()> fn) {
    WorkItem item = WorkItem::create();
    // The delay counts from this call, also when it comes from another thread.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(std::max(seconds, 0.0)));
    onMainThread([this, item, deadline, fn = std::move(fn)]() mutable {
        m_timers.start(deadline, item, std::move(fn));
    });
    return item;
}

WorkItem QtMainQueue::scheduleRepeating(double interval, std::function<void()> fn) {
    WorkItem item = WorkItem::create();
    onMainThread([this, item, interval, fn = std::move(fn)]() mutable {
        auto* timer = new QTimer(this);
        timer->setInterval(std::max(milliseconds(interval), 1));
        connect(timer, &QTimer::timeout, this, [timer, item, fn = std::move(fn)] {
            if (item.isCancelled()) {
                timer->stop();
                timer->deleteLater();
                return;
            }
            fn();
        });
        timer->start();
    });
    return item;
}

double QtMainQueue::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

} // namespace halvo
