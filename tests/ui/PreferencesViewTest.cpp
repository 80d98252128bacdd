// The Preferences window's content against a backend and login item that record what they are
// asked: recording with real key events, restore default, launch at login, permissions.
#include "settings/view/PreferencesView.h"

#include "app/view/QtAuxWindows.h"
#include "platform/sim/SimBundleInfo.h"
#include "platform/sim/SimLoginItems.h"
#include "settings/PreferencesBackend.h"
#include "settings/view/ShortcutCaptureWidget.h"
#include "settings/view/ViewStyle.h"
#include "ui/UiSession.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace halvo {
namespace {

class RecordingBackend final : public PreferencesBackend {
public:
    Published<bool>& windowManagerRunning() override { return m_trusted; }
    Published<bool>& keyboardAccess() override { return m_monitoring; }
    Published<std::optional<std::string>>& hotkeyError() override { return m_error; }
    PermissionHelp permissionHelp() const override { return help; }
    Theme theme() const override { return m_theme; }
    void setTheme(Theme theme) override {
        m_theme = theme;
        m_changed.set(true);
    }
    ShortcutModifiers modifiers() const override { return m_modifiers; }
    Subscription observeSettings(std::function<void()> changed) override {
        return m_changed.subscribe([changed = std::move(changed)](bool) { changed(); });
    }
    bool applyShortcut(ShortcutModifiers modifiers) override {
        applied.push_back(modifiers);
        if (!modifiers.isValid()) {
            m_error = std::string("Select at least one modifier key.");
            return false;
        }
        m_modifiers = modifiers;
        m_error = std::nullopt;
        m_changed.set(true);
        return true;
    }
    void setHotkeysSuspended(bool value) override { suspended.push_back(value); }
    void promptForWindowManager() override { ++windowManagerHelpOpened; }
    void openKeyboardAccessHelp() override { ++keyboardAccessHelpOpened; }
    void refreshPermissions() override {
        m_trusted = nextTrusted;
        ++refreshes;
    }
    void rebuildMenu() override {}

    PermissionHelp help;
    std::vector<ShortcutModifiers> applied;
    std::vector<bool> suspended;
    int windowManagerHelpOpened = 0;
    int keyboardAccessHelpOpened = 0;
    int refreshes = 0;
    bool nextTrusted = true;

private:
    Published<bool> m_trusted{false};
    Published<bool> m_monitoring{true};
    Published<std::optional<std::string>> m_error{std::nullopt};
    Published<bool> m_changed{false};
    Theme m_theme = Theme::system;
    ShortcutModifiers m_modifiers = ShortcutModifiers::defaultCombination;
};

template <typename T> T* find(QWidget* root, const char* name) {
    T* widget = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Waits until the window is mapped and focused by the window manager.
void showAndFocus(QWidget* window) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window, 5000));
}

bool pump(const std::function<bool()>& pred, double seconds = 5) {
    return test::XvfbSession::waitUntil(
        [&] {
            QApplication::processEvents();
            return pred();
        },
        seconds);
}

// A real click (XTEST) in the middle of `widget`; returns once the widget has seen the release.
void click(QWidget* widget) {
    QSignalSpy released(widget, SIGNAL(released()));
    const QPoint at = widget->mapToGlobal(widget->rect().center());
    test::uiSession()->run("xdotool mousemove " + std::to_string(at.x()) + " " +
                           std::to_string(at.y()) + " click 1");
    ASSERT_TRUE(pump([&] { return released.count() == 1; }));
}

TEST(PreferencesViewTest, RecordingWithRealKeysAppliesTheLargestCombination) {
    RecordingBackend backend;
    SimLoginItems login;
    PreferencesView view(backend, login);
    auto* field = new QLineEdit(&view);
    showAndFocus(&view);
    field->setFocus();
    auto* button = find<QPushButton>(&view, "recordButton");
    auto* preview = find<QLabel>(&view, "shortcutPreview");
    EXPECT_EQ(preview->text(), QStringLiteral("Ctrl+Alt"));

    // Started from the keyboard focus in the text field, as a button without focus would.
    view.toggleRecording();
    EXPECT_EQ(button->text(), QStringLiteral("Cancel Recording"));
    EXPECT_EQ(backend.suspended, (std::vector<bool>{true}));
    EXPECT_EQ(preview->text(), QStringLiteral("—"));

    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyPress(target, Qt::Key_Control, Qt::NoModifier);
    QTest::keyPress(target, Qt::Key_Shift, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(field->text().isEmpty()) << "letters typed while recording reach no text field";
    EXPECT_EQ(preview->text(), QStringLiteral("Ctrl+Shift"));
    QTest::keyRelease(target, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(preview->text(), QStringLiteral("Ctrl+Shift"))
        << "releasing one key keeps the preview";
    QTest::keyRelease(target, Qt::Key_Control, Qt::ControlModifier);

    ASSERT_EQ(backend.applied.size(), 1u);
    EXPECT_EQ(backend.applied[0], ShortcutModifiers(1 | 8));
    EXPECT_EQ(backend.suspended, (std::vector<bool>{true, false}));
    EXPECT_EQ(button->text(), QStringLiteral("Record Shortcut"));
    EXPECT_EQ(find<QLabel>(&view, "gestureKeys1")->text(), QStringLiteral("Ctrl+Shift+←"));
    EXPECT_EQ(QApplication::focusWidget(), field) << "the focus goes back where it was";
}

TEST(PreferencesViewTest, AltGrIsNotRecordedAsAlt) {
    // A German keyboard map: its right Alt key is AltGr (ISO_Level3_Shift, on Mod5), which the
    // global shortcut never sees as Alt.
    test::uiSession()->run("setxkbmap de");
    RecordingBackend backend;
    SimLoginItems login;
    PreferencesView view(backend, login);
    showAndFocus(&view);
    click(find<QPushButton>(&view, "recordButton"));
    ASSERT_TRUE(view.recorder().isRecording().get());
    auto* preview = find<QLabel>(&view, "shortcutPreview");
    const auto keys = [](const std::string& actions) {
        test::uiSession()->run("xdotool " + actions);
    };
    keys("keydown Control_L");
    ASSERT_TRUE(pump([&] { return preview->text() == QStringLiteral("Ctrl"); }));
    keys("keydown ISO_Level3_Shift keyup ISO_Level3_Shift keyup Control_L");
    ASSERT_TRUE(pump([&] { return !backend.applied.empty(); }));
    EXPECT_EQ(backend.applied, (std::vector<ShortcutModifiers>{ShortcutModifiers(1)}));
}

TEST(PreferencesViewTest, EscapeCancelsAndAppliesNothing) {
    RecordingBackend backend;
    SimLoginItems login;
    PreferencesView view(backend, login);
    showAndFocus(&view);
    view.toggleRecording();
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyPress(target, Qt::Key_Alt, Qt::NoModifier);
    QTest::keyClick(target, Qt::Key_Escape, Qt::AltModifier);
    EXPECT_FALSE(view.recorder().isRecording().get());
    QTest::keyRelease(target, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(backend.applied.empty());
    EXPECT_EQ(backend.suspended, (std::vector<bool>{true, false}));
}

TEST(PreferencesViewTest, RestoreDefaultCancelsThenAppliesControlOption) {
    RecordingBackend backend;
    SimLoginItems login;
    PreferencesView view(backend, login);
    showAndFocus(&view);
    view.toggleRecording();
    QTest::mouseClick(find<QPushButton>(&view, "restoreDefault"), Qt::LeftButton);
    EXPECT_FALSE(view.recorder().isRecording().get());
    ASSERT_EQ(backend.applied.size(), 1u);
    EXPECT_EQ(backend.applied[0], ShortcutModifiers::defaultCombination);
    EXPECT_EQ(backend.suspended.back(), false);
}

TEST(PreferencesViewTest, ClickingCancelRecordingCancelsAndResumesTheHotKeys) {
    RecordingBackend backend;
    SimLoginItems login;
    PreferencesView view(backend, login);
    showAndFocus(&view);
    auto* button = find<QPushButton>(&view, "recordButton");
    click(button);
    EXPECT_TRUE(view.recorder().isRecording().get());
    EXPECT_EQ(button->text(), QStringLiteral("Cancel Recording"));
    click(button);
    EXPECT_FALSE(view.recorder().isRecording().get());
    EXPECT_EQ(button->text(), QStringLiteral("Record Shortcut"));
    EXPECT_EQ(backend.suspended, (std::vector<bool>{true, false}));
    EXPECT_TRUE(backend.applied.empty());
}

TEST(PreferencesViewTest, HotkeyErrorIsShownWhileSetInPlainRed) {
    RecordingBackend backend;
    SimLoginItems login;
    login.setFailure(std::string("Permission denied"));
    PreferencesView view(backend, login);
    showAndFocus(&view);
    QWidget* row = find<QWidget>(&view, "hotkeyError");
    EXPECT_FALSE(row->isVisible());
    backend.applyShortcut(ShortcutModifiers());
    EXPECT_TRUE(row->isVisible());
    view.setLaunchAtLogin(true);
    // Only the section titles are bold; error lines are red callout text like the others.
    for (QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisible())
            continue;
        EXPECT_EQ(label->font().bold(), label->text() == QStringLiteral("Permissions"))
            << label->text().toStdString();
    }
    for (QLabel* message : row->findChildren<QLabel*>()) {
        if (!message->text().isEmpty()) {
            EXPECT_EQ(message->palette().color(QPalette::WindowText),
                      ViewStyle::colour(message, ViewStyle::Colour::red));
        }
    }
    backend.applyShortcut(ShortcutModifiers(4));
    EXPECT_FALSE(row->isVisible());
}

TEST(PreferencesViewTest, LaunchAtLoginFollowsTheStatusReadBackAndKeepsErrors) {
    RecordingBackend backend;
    SimLoginItems login;
    login.setStatusAfterRegister(LoginItemStatus::requiresApproval);
    PreferencesView view(backend, login);
    showAndFocus(&view);
    auto* box = find<QCheckBox>(&view, "launchAtLogin");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(login.calls(), (std::vector<std::string>{"register"}));
    EXPECT_TRUE(box->isChecked());

    // Turned off elsewhere: the refresh on coming back shows it.
    login.setStatus(LoginItemStatus::notRegistered);
    view.refreshLoginItemStatus();
    EXPECT_FALSE(box->isChecked());
    login.setStatus(LoginItemStatus::enabled);
    view.refreshLoginItemStatus();

    login.setFailure(std::string("Could not remove /x: Permission denied"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(login.calls().back(), "unregister");
    EXPECT_TRUE(box->isChecked()) << "the checkbox shows the status, not the wish";
    EXPECT_TRUE(find<QWidget>(&view, "loginError")->isVisible());
    view.refreshLoginItemStatus();
    EXPECT_TRUE(find<QWidget>(&view, "loginError")->isVisible()) << "errors survive refreshes";
}

TEST(PreferencesViewTest, PermissionsShowStateAndRecheckRefreshes) {
    RecordingBackend backend;
    SimLoginItems login;
    PreferencesView view(backend, login);
    showAndFocus(&view);
    EXPECT_EQ(find<QLabel>(&view, "windowManagerStatus")->text(), QStringLiteral("Required"));
    EXPECT_TRUE(find<QLabel>(&view, "windowManagerHelp")->text().contains("EWMH"))
        << "the row tells what to do";
    EXPECT_TRUE(find<QLabel>(&view, "windowManagerHelp")->isVisible());
    EXPECT_FALSE(find<QLabel>(&view, "keyboardAccessHelp")->isVisible());
    auto* open = find<QPushButton>(&view, "windowManagerOpen");
    EXPECT_TRUE(open->isVisible());
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(backend.windowManagerHelpOpened, 1);
    EXPECT_FALSE(find<QPushButton>(&view, "keyboardAccessOpen")->isVisible());

    QTest::mouseClick(find<QWidget>(&view, "recheck"), Qt::LeftButton);
    EXPECT_EQ(backend.refreshes, 1);
    EXPECT_EQ(find<QLabel>(&view, "windowManagerStatus")->text(), QStringLiteral("Granted"));
    EXPECT_FALSE(open->isVisible());
    EXPECT_FALSE(find<QLabel>(&view, "windowManagerHelp")->isVisible());
}

// On sway the rows and the tips speak of sway's IPC, not of X11 extensions and EWMH, and the
// minimap shows with the first arrow (sway reports the combination only with a key).
TEST(PreferencesViewTest, PermissionTextsFollowTheSession) {
    RecordingBackend backend;
    backend.help = PermissionHelp(PermissionHelp::Session::sway);
    SimLoginItems login;
    PreferencesView view(backend, login);
    QStringList texts;
    for (QLabel* label : view.findChildren<QLabel*>())
        texts << label->text();
    const QString all = texts.join(QLatin1Char('\n'));
    EXPECT_TRUE(find<QLabel>(&view, "windowManagerHelp")->text().contains("SWAYSOCK"));
    EXPECT_TRUE(find<QLabel>(&view, "keyboardAccessHelp")->text().contains("sway key bindings"));
    EXPECT_TRUE(all.contains("Hold your modifier combination and press Left or Right"))
        << all.toStdString();
    for (const char* x11Only : {"X11", "EWMH", "XKB", "XInput2"})
        EXPECT_FALSE(all.contains(QLatin1String(x11Only))) << x11Only << " in\n"
                                                           << all.toStdString();
}

TEST(AuxWindowsTest, WindowsAreCreatedOnceAndKeepTheirPlace) {
    RecordingBackend backend;
    SimLoginItems login;
    SimBundleInfo bundle;
    QtAuxWindows windows(backend, login, bundle);
    EXPECT_EQ(windows.preferencesWindow(), nullptr);
    windows.showPreferences();
    QWidget* first = windows.preferencesWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->size(), QSize(600, 660));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Halvo Preferences"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first, 5000));
    first->close();
    EXPECT_FALSE(first->isVisible());
    windows.showPreferences();
    EXPECT_EQ(windows.preferencesWindow(), first);
    EXPECT_TRUE(first->isVisible());

    windows.showAbout();
    EXPECT_EQ(windows.aboutWindow()->size(), QSize(360, 220));
    EXPECT_EQ(windows.aboutWindow()->windowTitle(), QStringLiteral("About Halvo"));
    const auto* licence = windows.aboutWindow()->findChild<QLabel*>("aboutLicence");
    ASSERT_NE(licence, nullptr);
    EXPECT_TRUE(licence->text().contains("GNU GPL, version 3 or later"))
        << licence->text().toStdString();
    EXPECT_TRUE(windows.aboutWindow()->rect().contains(licence->geometry().translated(
        licence->parentWidget()->mapTo(windows.aboutWindow(), QPoint()))))
        << "the licence line fits the window";
    EXPECT_TRUE(first->isVisible()) << "About leaves Preferences open";
}

} // namespace
} // namespace halvo
