// Icons only another installed theme has: the fallback order, and a real lookup through it.
#include "platform/linux/IconThemeFallback.h"

#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace halvo;

TEST(IconThemeFallback, WellKnownDesktopThemesComeFirstThenTheOthersByName) {
    const QStringList installed{"zeta", "breeze", "Adwaita", "hicolor", "alpha", "Papirus"};
    EXPECT_EQ(IconThemeFallback::order(installed, "breeze"),
              (QStringList{"Adwaita", "Papirus", "alpha", "zeta"}));
    EXPECT_EQ(IconThemeFallback::order(installed, "hicolor"),
              (QStringList{"Adwaita", "breeze", "Papirus", "alpha", "zeta"}));
}

TEST(IconThemeFallback, TheUsersGtkThemeIsReadFromItsSettingsFile) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString file = directory.filePath(QStringLiteral("settings.ini"));
    EXPECT_EQ(IconThemeFallback::gtkIconTheme(file), QString()) << "no file";
    QFile settings(file);
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Settings]\ngtk-theme-name=Arc\ngtk-icon-theme-name = Papirus-Dark\n");
    settings.close();
    EXPECT_EQ(IconThemeFallback::gtkIconTheme(file), QStringLiteral("Papirus-Dark"));
}

TEST(IconThemeFallback, AnIconOnlyAdwaitaHasIsFoundThroughTheFallbacks) {
    // qterminal's entry names utilities-terminal, which Adwaita has and hicolor lacks.
    const QString name = QStringLiteral("utilities-terminal");
    if (!QFile::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")))
        GTEST_SKIP() << "adwaita-icon-theme is not installed";
    QDirIterator hicolor(QStringLiteral("/usr/share/icons/hicolor"), {name + QStringLiteral(".*")},
                         QDir::Files, QDirIterator::Subdirectories);
    ASSERT_FALSE(hicolor.hasNext()) << "hicolor has it: " << hicolor.next().toStdString();
    ASSERT_FALSE(QIcon::hasThemeIcon(name))
        << "the current theme " << QIcon::themeName().toStdString() << " has it already";
    {
        const auto fallback = IconThemeFallback::install();
        ASSERT_TRUE(fallback);
        EXPECT_TRUE(fallback->fallbacks().contains(QStringLiteral("Adwaita")));
        EXPECT_TRUE(QIcon::hasThemeIcon(name));
        EXPECT_FALSE(QIcon::fromTheme(name).pixmap(52, 52).isNull());
    }
    EXPECT_FALSE(QIcon::hasThemeIcon(name)) << "Qt's own lookup was not given back";
}
