// Icons that the desktop's icon theme and hicolor lack, looked up in the other installed themes
// as the desktop's own menus would find them: GTK falls back to Adwaita, so a qterminal entry
// that names "utilities-terminal" shows Adwaita's terminal there, while Qt alone finds nothing.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace halvo {

class IconThemeFallback {
public:
    // The name of the theme Halvo writes: it has no icons and inherits from the fallbacks.
    static constexpr const char* themeName = "halvo-fallbacks";

    // The icon themes (folders with an index.theme that lists icon directories) under
    // `searchPaths`, each named once.
    static QStringList installedThemes(const QStringList& searchPaths);

    // The order to fall back in: the well-known desktop themes that are installed, GTK's own
    // fallback first, then the other installed themes by name; never `current` or hicolor
    // (Qt searches those anyway).
    static QStringList order(const QStringList& installed, const QString& current);

    // The icon theme GTK 3 is set to in `settingsFile` (gtk-3.0/settings.ini, which lxappearance
    // and the desktops' settings tools write); empty when none is set.
    static QString gtkIconTheme(const QString& settingsFile);

    // Makes Qt's theme icon lookups, once the current theme and hicolor have failed, go through
    // the installed themes in order(), led by the theme Qt's platform theme falls back to and,
    // where Qt knows no desktop theme (hicolor), by the user's GTK theme. Needs a QGuiApplication;
    // keep the object alive while icons are looked up. Nothing when the theme could not be written.
    static std::unique_ptr<IconThemeFallback> install();
    // Gives Qt back the search paths and fallback theme it had.
    ~IconThemeFallback();

    // The fallbacks the written theme names, in order.
    const QStringList& fallbacks() const { return m_fallbacks; }

private:
    IconThemeFallback() = default;

    QTemporaryDir m_directory;
    QStringList m_fallbacks;
    QStringList m_previousSearchPaths;
    QString m_previousFallback;
};

} // namespace halvo
