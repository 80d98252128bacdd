// Installing the translators and the localizer.
#include "platform/linux/QtTranslations.h"

#include "platform/Localization.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <string>

namespace halvo {

void QtTranslations::install(QCoreApplication& app, const QString& dataDir) {
    auto* translator = new QTranslator(&app);
    const QStringList dirs = {dataDir + "/translations",
                              QCoreApplication::applicationDirPath() + "/translations"};
    for (const QString& dir : dirs) {
        if (translator->load(QLocale(), "halvo", "_", dir)) {
            QCoreApplication::installTranslator(translator);
            break;
        }
    }
    auto* qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(QLocale(), "qtbase", "_",
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator);
    setLocalizer([](std::string_view key, std::string_view comment) {
        const std::string k(key);
        const std::string c(comment);
        return QCoreApplication::translate("Halvo", k.c_str(), c.c_str()).toStdString();
    });
}

} // namespace halvo
