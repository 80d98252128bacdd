// Reading and writing the autostart entry.
#include "platform/linux/XdgLoginItems.h"

#include "platform/DesktopExec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <map>
#include <utility>

namespace halvo {
namespace {

// Desktop-entry keys of the [Desktop Entry] group. QSettings' INI parser would mangle Exec
// values, so the group is read by hand.
std::map<QString, QString> readEntry(const QString& path) {
    std::map<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('[')) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inGroup || line.startsWith('#'))
            continue;
        const auto equals = line.indexOf('=');
        if (equals > 0)
            keys.emplace(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

bool isTrue(const std::map<QString, QString>& keys, const QString& key) {
    const auto found = keys.find(key);
    return found != keys.end() && found->second == QStringLiteral("true");
}

bool isFalse(const std::map<QString, QString>& keys, const QString& key) {
    const auto found = keys.find(key);
    return found != keys.end() && found->second == QStringLiteral("false");
}

} // namespace

XdgLoginItems::XdgLoginItems(std::string autostartDir, std::string program)
    : m_autostartDir(std::move(autostartDir)), m_program(std::move(program)) {}

std::string XdgLoginItems::defaultAutostartDir() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base =
        config.startsWith('/') ? config : QDir::homePath() + QStringLiteral("/.config");
    return (base + QStringLiteral("/autostart")).toStdString();
}

std::string XdgLoginItems::entryPath() const {
    return m_autostartDir + "/halvo.desktop";
}

LoginItemStatus XdgLoginItems::status() {
    const QString path = QString::fromStdString(entryPath());
    if (!QFileInfo::exists(path))
        return LoginItemStatus::notRegistered;
    const auto keys = readEntry(path);
    if (isTrue(keys, QStringLiteral("Hidden")) ||
        isFalse(keys, QStringLiteral("X-GNOME-Autostart-enabled")))
        return LoginItemStatus::notRegistered;
    const auto exec = keys.find(QStringLiteral("Exec"));
    if (exec == keys.end())
        return LoginItemStatus::notFound;
    const auto program = DesktopExec::program(exec->second.toStdString());
    if (!program)
        return LoginItemStatus::notFound;
    const QFileInfo info(QString::fromStdString(*program));
    if (info.isAbsolute() ? !info.isExecutable()
                          : QStandardPaths::findExecutable(info.filePath()).isEmpty())
        return LoginItemStatus::notFound;
    return LoginItemStatus::enabled;
}

std::optional<std::string> XdgLoginItems::registerItem() {
    const QString dir = QString::fromStdString(m_autostartDir);
    if (!QDir().mkpath(dir))
        return "Could not create the folder " + m_autostartDir + ".";
    QSaveFile file(QString::fromStdString(entryPath()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return "Could not write " + entryPath() + ": " + file.errorString().toStdString();
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Halvo\n"
                              "Comment=Keyboard-driven app switcher with a custom order.\n"
                              "Exec=" +
                              DesktopExec::quote(m_program) +
                              "\n"
                              "Icon=halvo\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    file.write(entry.data(), static_cast<qint64>(entry.size()));
    if (!file.commit())
        return "Could not write " + entryPath() + ": " + file.errorString().toStdString();
    return std::nullopt;
}

std::optional<std::string> XdgLoginItems::unregisterItem() {
    QFile file(QString::fromStdString(entryPath()));
    if (!file.exists() || file.remove())
        return std::nullopt;
    return "Could not remove " + entryPath() + ": " + file.errorString().toStdString();
}

} // namespace halvo
