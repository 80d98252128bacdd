// A minimal org.kde.StatusNotifierWatcher on a private session bus: it says a host is present
// and records the items that register with it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

namespace halvo::test {

class StatusNotifierWatcherStub : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    // Connects to the bus at `address` and takes the watcher's name; ok() tells whether it did.
    explicit StatusNotifierWatcherStub(const QString& address);
    ~StatusNotifierWatcherStub() override;

    bool ok() const { return m_ok; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }
    // Counts from now on the LayoutUpdated signals of the menu at `menuPath` of `service`: each
    // makes the host fetch the menu again.
    bool watchMenu(const QString& service, const QString& menuPath);
    int menuUpdates() const { return m_menuUpdates; }

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service);

private Q_SLOTS:
    void menuUpdated() { ++m_menuUpdates; }

Q_SIGNALS:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private:
    QDBusConnection m_connection;
    QStringList m_items;
    bool m_ok = false;
    int m_menuUpdates = 0;
};

} // namespace halvo::test
