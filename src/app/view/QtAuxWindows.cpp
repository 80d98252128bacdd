// Window creation, centring and presentation.
#include "app/view/QtAuxWindows.h"

#include "platform/Localization.h"
#include "settings/view/AboutView.h"
#include "settings/view/PreferencesView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace halvo {

QtAuxWindows::QtAuxWindows(PreferencesBackend& backend, LoginItems& loginItems,
                           const BundleInfo& bundle)
    : m_backend(backend), m_loginItems(loginItems), m_bundle(bundle) {}

QtAuxWindows::~QtAuxWindows() = default;

std::unique_ptr<QWidget> QtAuxWindows::makeWindow(QWidget* content, int width, int height,
                                                  const QString& title) {
    auto window =
        std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint |
                                               Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    window->setWindowTitle(title);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    content->setParent(window.get());
    layout->addWidget(content);
    window->setFixedSize(width, height);
    // Centred on the primary screen, once: later openings keep where the user put it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(width / 2, height / 2));
    }
    return window;
}

void QtAuxWindows::present(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void QtAuxWindows::showPreferences() {
    if (!m_preferences) {
        m_preferences = makeWindow(
            new PreferencesView(m_backend, m_loginItems), 600, 660,
            QString::fromStdString(localized("Halvo Preferences", "Preferences window title")));
        m_preferences->setObjectName("preferencesWindow");
    }
    present(m_preferences.get());
}

void QtAuxWindows::showAbout() {
    if (!m_about) {
        m_about =
            makeWindow(new AboutView(m_bundle), 360, 220,
                       QString::fromStdString(localized("About Halvo", "About window title")));
        m_about->setObjectName("aboutWindow");
    }
    present(m_about.get());
}

} // namespace halvo
