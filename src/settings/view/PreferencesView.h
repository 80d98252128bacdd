// The Preferences window's content: launch at login, theme, the shortcut with its recorder and
// gestures, the two permissions, and usage tips. Every change takes effect at once.
#pragma once

#include "platform/LoginItems.h"
#include "platform/Subscription.h"
#include "settings/ShortcutRecorder.h"

#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace halvo {

class ErrorRow;
class PermissionRow;
class PreferencesBackend;
class ShortcutCaptureWidget;

class PreferencesView final : public QWidget {
    Q_OBJECT
public:
    PreferencesView(PreferencesBackend& backend, LoginItems& loginItems, QWidget* parent = nullptr);
    ~PreferencesView() override;

    ShortcutRecorder& recorder() { return m_recorder; }
    LoginItemStatus loginItemStatus() const { return m_loginItemStatus; }
    const std::optional<std::string>& loginItemError() const { return m_loginItemError; }

    // The checkbox's setter: register or unregister, keep the error, read the status back.
    void setLaunchAtLogin(bool enabled);
    // Reads the login item's status again; the error stays.
    void refreshLoginItemStatus();
    // The record button: cancels while recording, else suspends the hot keys and starts.
    void toggleRecording();
    // Cancels a recording, resumes the hot keys, applies Control + Alt.
    void restoreDefault();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeGeneralSection();
    QWidget* makeAppearanceSection();
    QWidget* makeHotkeysSection();
    QWidget* makePermissionsSection();
    QWidget* makeUsageTipsSection();

    void recordingChanged(bool recording);
    void updateLogin();
    void updateTheme();
    void updateRecorder();
    void updateGestures();
    void updateHotkeyError();
    void updatePermissions();

    PreferencesBackend& m_backend;
    LoginItems& m_loginItems;
    ShortcutRecorder m_recorder;
    LoginItemStatus m_loginItemStatus = LoginItemStatus::notRegistered;
    std::optional<std::string> m_loginItemError;
    std::vector<Subscription> m_subscriptions;

    ShortcutCaptureWidget* m_capture = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    ErrorRow* m_loginError = nullptr;
    QButtonGroup* m_themes = nullptr;
    QPushButton* m_recordButton = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_hint = nullptr;
    std::vector<QLabel*> m_gestureKeys;
    ErrorRow* m_hotkeyError = nullptr;
    std::unique_ptr<PermissionRow> m_windowManager;
    std::unique_ptr<PermissionRow> m_keyboardAccess;
    QToolButton* m_tipsToggle = nullptr;
    QWidget* m_tips = nullptr;
};

} // namespace halvo
