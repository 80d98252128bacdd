// Socket notifier plus the event dispatcher's about-to-block hook.
#include "platform/x11/X11EventPump.h"

#include "platform/x11/X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>
#include <utility>

namespace halvo {

X11EventPump::X11EventPump(X11Connection& connection, std::function<void()> onLost, QObject* parent)
    : QObject(parent), m_connection(connection), m_onLost(std::move(onLost)) {
    m_notifier = new QSocketNotifier(connection.fileDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { pump(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { pump(); });
}

X11EventPump::~X11EventPump() = default;

bool X11EventPump::pump() {
    if (m_lost)
        return false;
    if (m_connection.dispatchPending())
        return true;
    m_lost = true;
    m_notifier->setEnabled(false);
    if (m_onLost)
        m_onLost();
    return false;
}

} // namespace halvo
