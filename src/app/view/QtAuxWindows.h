// The Preferences (600 × 660, "Halvo Preferences") and About (360 × 220, "About Halvo") windows:
// created on first use, centred once, fixed in size, hidden rather than destroyed when closed.
#pragma once

#include "platform/AuxWindows.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace halvo {

class BundleInfo;
class LoginItems;
class PreferencesBackend;

class QtAuxWindows final : public AuxWindows {
public:
    QtAuxWindows(PreferencesBackend& backend, LoginItems& loginItems, const BundleInfo& bundle);
    ~QtAuxWindows() override;

    void showPreferences() override;
    void showAbout() override;

    // Nothing until first shown.
    QWidget* preferencesWindow() const { return m_preferences.get(); }
    QWidget* aboutWindow() const { return m_about.get(); }

private:
    static std::unique_ptr<QWidget> makeWindow(QWidget* content, int width, int height,
                                               const QString& title);
    static void present(QWidget* window);

    PreferencesBackend& m_backend;
    LoginItems& m_loginItems;
    const BundleInfo& m_bundle;
    std::unique_ptr<QWidget> m_preferences;
    std::unique_ptr<QWidget> m_about;
};

} // namespace halvo
