// The watcher a desktop's panel would provide, reduced to what a tray icon talks to.
#include "e2e/StatusNotifierWatcherStub.h"

namespace halvo::test {

StatusNotifierWatcherStub::StatusNotifierWatcherStub(const QString& address)
    : m_connection(QDBusConnection::connectToBus(address, QStringLiteral("watcher"))) {
    m_ok = m_connection.isConnected() &&
           m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                       QDBusConnection::ExportScriptableContents |
                                           QDBusConnection::ExportAllProperties) &&
           m_connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

StatusNotifierWatcherStub::~StatusNotifierWatcherStub() {
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
}

void StatusNotifierWatcherStub::RegisterStatusNotifierItem(const QString& service) {
    m_items.append(service);
    Q_EMIT StatusNotifierItemRegistered(service);
}

void StatusNotifierWatcherStub::RegisterStatusNotifierHost(const QString&) {
    Q_EMIT StatusNotifierHostRegistered();
}

bool StatusNotifierWatcherStub::watchMenu(const QString& service, const QString& menuPath) {
    return m_connection.connect(service, menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                QStringLiteral("LayoutUpdated"), this, SLOT(menuUpdated()));
}

} // namespace halvo::test
