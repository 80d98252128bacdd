// A theme of Halvo's own, written to a temporary folder, whose Inherits list is the fallback
// order: Qt searches a theme's parents, and hicolor's parent is Qt's fallback theme.
#include "platform/linux/IconThemeFallback.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace halvo {
namespace {

// Desktop themes by how widely they are the default; Adwaita and gnome first because GTK itself
// falls back to them.
const char* const wellKnown[] = {"Adwaita",         "gnome", "breeze",  "Yaru",   "elementary",
                                 "elementary-xfce", "mate",  "Papirus", "oxygen", "Tango"};

bool hasIconDirectories(const QString& indexFile) {
    const QSettings index(indexFile, QSettings::IniFormat);
    return !index.value(QStringLiteral("Icon Theme/Directories")).toStringList().isEmpty();
}

} // namespace

QStringList IconThemeFallback::installedThemes(const QStringList& searchPaths) {
    QStringList themes;
    for (const QString& path : searchPaths) {
        const QDir directory(path);
        for (const QString& name : directory.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString index = directory.filePath(name + QStringLiteral("/index.theme"));
            if (!themes.contains(name) && QFile::exists(index) && hasIconDirectories(index))
                themes.append(name);
        }
    }
    return themes;
}

QStringList IconThemeFallback::order(const QStringList& installed, const QString& current) {
    const auto wanted = [&](const QString& name) {
        return name != current && name != QLatin1String("hicolor") &&
               name != QLatin1String(themeName);
    };
    QStringList result;
    for (const char* name : wellKnown) {
        const QString theme = QString::fromLatin1(name);
        if (installed.contains(theme) && wanted(theme))
            result.append(theme);
    }
    QStringList others;
    for (const QString& name : installed) {
        if (wanted(name) && !result.contains(name))
            others.append(name);
    }
    std::sort(others.begin(), others.end());
    return result + others;
}

QString IconThemeFallback::gtkIconTheme(const QString& settingsFile) {
    if (!QFile::exists(settingsFile))
        return {};
    const QSettings settings(settingsFile, QSettings::IniFormat);
    return settings.value(QStringLiteral("Settings/gtk-icon-theme-name")).toString().trimmed();
}

std::unique_ptr<IconThemeFallback> IconThemeFallback::install() {
    std::unique_ptr<IconThemeFallback> fallback(new IconThemeFallback);
    if (!fallback->m_directory.isValid())
        return nullptr;
    const QStringList searchPaths = QIcon::themeSearchPaths();
    fallback->m_previousSearchPaths = searchPaths;
    fallback->m_previousFallback = QIcon::fallbackThemeName();
    fallback->m_fallbacks = order(installedThemes(searchPaths), QIcon::themeName());
    // The fallback Qt's platform theme chose (breeze under KDE) stays the first. Under a plain
    // window manager Qt knows no desktop theme, but GTK apps use the one the user picked.
    if (fallback->m_fallbacks.removeOne(fallback->m_previousFallback))
        fallback->m_fallbacks.prepend(fallback->m_previousFallback);
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor")) {
        const QString gtk =
            gtkIconTheme(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/gtk-3.0/settings.ini"));
        if (fallback->m_fallbacks.removeOne(gtk))
            fallback->m_fallbacks.prepend(gtk);
    }
    const QDir root(fallback->m_directory.path());
    const QString name = QString::fromLatin1(themeName);
    if (!root.mkpath(name))
        return nullptr;
    QFile index(root.filePath(name + QStringLiteral("/index.theme")));
    if (!index.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return nullptr;
    const QString text = QStringLiteral("[Icon Theme]\nName=Halvo fallbacks\nComment=Icons the "
                                        "desktop's theme lacks\nInherits=%1\nDirectories=\n")
                             .arg(fallback->m_fallbacks.join(QLatin1Char(',')));
    if (index.write(text.toUtf8()) < 0 || !index.flush())
        return nullptr;
    index.close();
    QIcon::setThemeSearchPaths(searchPaths + QStringList{root.path()});
    QIcon::setFallbackThemeName(name);
    return fallback;
}

IconThemeFallback::~IconThemeFallback() {
    if (m_previousSearchPaths.isEmpty())
        return; // never installed
    QIcon::setFallbackThemeName(m_previousFallback);
    QIcon::setThemeSearchPaths(m_previousSearchPaths);
}

} // namespace halvo
