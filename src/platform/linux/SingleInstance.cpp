// The single-instance socket: a one-line request ("preferences" or "ping"), answered "ok".
#include "platform/linux/SingleInstance.h"

#include <QLocalSocket>
#include <unistd.h>

namespace halvo {

SingleInstance::SingleInstance(const QString& display, QObject* parent)
    : QObject(parent), m_name(nameFor(getuid(), display)) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

QString SingleInstance::nameFor(unsigned userID, const QString& display) {
    QString safe = display;
    safe.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("halvo-%1-%2").arg(userID).arg(safe);
}

bool SingleInstance::askRunning(bool openPreferences) const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(openPreferences ? "preferences\n" : "ping\n");
    socket.flush();
    socket.waitForBytesWritten(1000);
    socket.waitForReadyRead(2000);
    return true;
}

bool SingleInstance::listen(std::string& error) {
    QLocalServer::removeServer(m_name);
    if (m_server.listen(m_name))
        return true;
    error = m_server.errorString().toStdString();
    return false;
}

void SingleInstance::answer() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->readLine().trimmed();
            if (request == "preferences" && onPreferencesRequested)
                onPreferencesRequested();
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

} // namespace halvo
