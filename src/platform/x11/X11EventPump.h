// Feeds the events of Halvo's own X connection to its listeners from the Qt event loop, and
// reports a connection that has broken.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace halvo {

class X11Connection;

class X11EventPump final : public QObject {
    Q_OBJECT
public:
    // Dispatches whenever the connection's socket is readable and before the loop goes to sleep
    // (xcb may have queued events while it waited for a reply, leaving the socket drained).
    // `onLost` runs once, on the main thread, when the connection fails.
    X11EventPump(X11Connection& connection, std::function<void()> onLost,
                 QObject* parent = nullptr);
    ~X11EventPump() override;

    // Dispatches now; false once the connection has failed.
    bool pump();

private:
    X11Connection& m_connection;
    std::function<void()> m_onLost;
    QSocketNotifier* m_notifier = nullptr;
    bool m_lost = false;
};

} // namespace halvo
