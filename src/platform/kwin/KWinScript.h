// Halvo's script resident in KWin for as long as this object lives: written to a file only the
// user can read, loaded with org.kde.KWin /Scripting loadScript(path, name), started, and
// unloaded again when Halvo ends. A script left by a Halvo that crashed is unloaded first (it
// has the same name and reports to a bus name that is gone).
#pragma once

#include <QDBusConnection>
#include <QString>
#include <string>

namespace halvo {

class KWinScript {
public:
    static constexpr const char* pluginName = "halvo";

    // Loads and starts `source` in the KWin on `bus`; error() says why when it could not.
    KWinScript(QDBusConnection bus, const std::string& source);
    ~KWinScript();
    KWinScript(const KWinScript&) = delete;
    KWinScript& operator=(const KWinScript&) = delete;

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }

private:
    bool writeSource(const std::string& source);
    bool call(const char* method, const QVariantList& arguments);

    QDBusConnection m_bus;
    QString m_path;
    bool m_loaded = false;
    std::string m_error;
};

} // namespace halvo
