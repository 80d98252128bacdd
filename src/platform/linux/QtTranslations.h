// Halvo's German (and any later) translation and Qt's own, for the user's locale; localized()
// looks its texts up there.
#pragma once

#include <QCoreApplication>
#include <QString>

namespace halvo {

class QtTranslations {
public:
    // Loads halvo_<locale>.qm from `dataDir`/translations, else from translations/ beside the
    // executable (the build tree), and Qt's own translation of its dialogs.
    static void install(QCoreApplication& app, const QString& dataDir);
};

} // namespace halvo
