// Loading and unloading the script through KWin's scripting interface.
#include "platform/kwin/KWinScript.h"

#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

namespace halvo {
namespace {

constexpr int callTimeoutMs = 5000;

} // namespace

KWinScript::KWinScript(QDBusConnection bus, const std::string& source) : m_bus(std::move(bus)) {
    if (!writeSource(source))
        return;
    call("unloadScript", {QString::fromLatin1(pluginName)});
    m_error.clear();
    // KWin owns its bus name a moment before it serves /Scripting.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (call("loadScript", {m_path, QString::fromLatin1(pluginName)}))
            break;
        QThread::msleep(100);
    }
    if (!ok())
        return;
    m_loaded = true;
    call("start", {});
}

KWinScript::~KWinScript() {
    if (m_loaded)
        call("unloadScript", {QString::fromLatin1(pluginName)});
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

bool KWinScript::writeSource(const std::string& source) {
    // XDG_RUNTIME_DIR is the user's own (0700); KWin runs as the same user and reads it there.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    m_path = folder + QStringLiteral("/halvo-kwin-%1.js").arg(::getpid());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(source.data(), static_cast<qint64>(source.size())) !=
            static_cast<qint64>(source.size())) {
        m_error = "cannot write the KWin script to " + m_path.toStdString();
        m_path.clear();
        return false;
    }
    return true;
}

bool KWinScript::call(const char* method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
        QStringLiteral("org.kde.kwin.Scripting"), QString::fromLatin1(method));
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_error = "KWin refused " + std::string(method) + ": " + reply.errorMessage().toStdString();
        return false;
    }
    m_error.clear();
    return true;
}

} // namespace halvo
