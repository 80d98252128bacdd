// Preferences sections and their bindings to the backend, the login item and the recorder.
#include "settings/view/PreferencesView.h"

#include "platform/Localization.h"
#include "settings/PreferencesBackend.h"
#include "settings/view/ErrorRow.h"
#include "settings/view/PermissionRow.h"
#include "settings/view/ShortcutCaptureWidget.h"
#include "settings/view/ViewStyle.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

namespace halvo {
namespace {

QString qstr(const std::string& text) {
    return QString::fromStdString(text);
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QGroupBox* section(QWidget* parent, const QString& title) {
    auto* box = new QGroupBox(title, parent);
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    return box;
}

// Children of a bold group box get the normal weight back.
void normalWeight(QWidget* widget) {
    QFont f = widget->font();
    f.setBold(false);
    widget->setFont(f);
}

struct Gesture {
    std::string name;
    const char* suffix;
};

std::vector<Gesture> gestures() {
    return {
        {localized("Show Minimap", "Gesture: hold the modifiers"), ""},
        {localized("Previous app", "Gesture: Left arrow"), "+←"},
        {localized("Next app", "Gesture: Right arrow"), "+→"},
        {localized("Enter Full Screen", "Gesture: Up arrow"), "+↑"},
        {localized("Exit Full Screen", "Gesture: Down arrow"), "+↓"},
    };
}

} // namespace

PreferencesView::PreferencesView(PreferencesBackend& backend, LoginItems& loginItems,
                                 QWidget* parent)
    : QWidget(parent), m_backend(backend), m_loginItems(loginItems),
      m_loginItemStatus(loginItems.status()) {
    setMinimumSize(540, 580);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // A click on a label or on the record button would otherwise hand the focus to the scroll
    // area, and the capture widget losing it cancels a recording.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);

    auto* form = new QWidget(scroll);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(14);
    column->addWidget(makeGeneralSection());
    column->addWidget(makeAppearanceSection());
    column->addWidget(makeHotkeysSection());
    column->addWidget(makePermissionsSection());
    column->addWidget(makeUsageTipsSection());
    column->addStretch();
    scroll->setWidget(form);

    m_capture = new ShortcutCaptureWidget(this);
    m_capture->setObjectName("shortcutCapture");
    m_capture->onFlags = [this](Modifiers held) { m_recorder.handleFlags(held); };
    m_capture->onCancel = [this] { m_recorder.cancelRecording(); };

    m_subscriptions.push_back(m_recorder.isRecording().subscribe(
        [this](bool recording) { recordingChanged(recording); }));
    m_subscriptions.push_back(
        m_recorder.preview().subscribe([this](const auto&) { updateRecorder(); }));
    m_subscriptions.push_back(m_backend.observeSettings([this] {
        updateTheme();
        updateRecorder();
        updateGestures();
    }));
    m_subscriptions.push_back(
        m_backend.hotkeyError().subscribe([this](const auto&) { updateHotkeyError(); }));
    m_subscriptions.push_back(
        m_backend.windowManagerRunning().subscribe([this](bool) { updatePermissions(); }));
    m_subscriptions.push_back(
        m_backend.keyboardAccess().subscribe([this](bool) { updatePermissions(); }));

    updateLogin();
    updateTheme();
    updateRecorder();
    updateGestures();
    updateHotkeyError();
    updatePermissions();
}

PreferencesView::~PreferencesView() {
    m_subscriptions.clear();
    m_capture->onFlags = nullptr;
    m_capture->onCancel = nullptr;
}

QWidget* PreferencesView::makeGeneralSection() {
    QGroupBox* box = section(this, qstr(localized("General", "Preferences section title")));
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(6);

    m_launchAtLogin =
        new QCheckBox(qstr(localized("Launch at Login", "Launch at login checkbox")), box);
    m_launchAtLogin->setObjectName("launchAtLogin");
    normalWeight(m_launchAtLogin);
    connect(m_launchAtLogin, &QCheckBox::clicked, this,
            [this](bool checked) { setLaunchAtLogin(checked); });
    layout->addWidget(m_launchAtLogin);

    auto* caption = new QLabel(qstr(localized("Automatically launch Halvo when you log in.",
                                              "Launch at login description")),
                               box);
    caption->setWordWrap(true);
    normalWeight(caption);
    ViewStyle::apply(caption, ViewStyle::Font::caption, ViewStyle::Colour::secondary);
    layout->addWidget(caption);

    m_loginError = new ErrorRow(box, "loginError");
    layout->addWidget(m_loginError);
    return box;
}

QWidget* PreferencesView::makeAppearanceSection() {
    QGroupBox* box = section(this, qstr(localized("Appearance", "Preferences section title")));
    auto* row = new QHBoxLayout(box);
    auto* label = new QLabel(qstr(localized("Theme", "Theme picker label")), box);
    normalWeight(label);
    row->addWidget(label);
    row->addStretch();

    auto* segments = new QWidget(box);
    segments->setObjectName("themePicker");
    segments->setMaximumWidth(300);
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    m_themes = new QButtonGroup(this);
    m_themes->setExclusive(true);
    const std::pair<Theme, QString> titles[] = {
        {Theme::system, qstr(localized("Follow System", "Theme option"))},
        {Theme::light, qstr(localized("Light", "Theme option"))},
        {Theme::dark, qstr(localized("Dark", "Theme option"))},
    };
    for (const auto& [theme, title] : titles) {
        auto* segment = new QToolButton(segments);
        segment->setText(title);
        segment->setCheckable(true);
        segment->setAutoRaise(false);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        segment->setObjectName(QString::fromStdString("theme-" + rawValue(theme)));
        normalWeight(segment);
        m_themes->addButton(segment, static_cast<int>(theme));
        segmentLayout->addWidget(segment);
    }
    connect(m_themes, &QButtonGroup::idClicked, this,
            [this](int id) { m_backend.setTheme(static_cast<Theme>(id)); });
    row->addWidget(segments, 1);
    return box;
}

QWidget* PreferencesView::makeHotkeysSection() {
    QGroupBox* box = section(this, qstr(localized("Hotkeys", "Preferences section title")));
    auto* column = new QVBoxLayout(box);
    column->setSpacing(12);
    column->setContentsMargins(12, 16, 12, 16);

    auto* recorderRow = new QHBoxLayout();
    m_recordButton = new QPushButton(box);
    m_recordButton->setObjectName("recordButton");
    m_recordButton->setIcon(QIcon::fromTheme(QStringLiteral("input-keyboard")));
    // A click must not take the focus: the capture widget losing it would cancel the recording,
    // and the click would then start a new one. The keyboard still reaches the button with Tab.
    m_recordButton->setFocusPolicy(Qt::TabFocus);
    normalWeight(m_recordButton);
    connect(m_recordButton, &QPushButton::clicked, this, [this] { toggleRecording(); });
    m_preview = new QLabel(box);
    m_preview->setObjectName("shortcutPreview");
    m_preview->setAccessibleName(
        qstr(localized("Shortcut preview", "Shortcut preview accessibility label")));
    m_preview->setMinimumWidth(64);
    m_preview->setAlignment(Qt::AlignCenter);
    ViewStyle::apply(m_preview, ViewStyle::Font::monospacedBody);
    recorderRow->addWidget(m_recordButton);
    recorderRow->addWidget(m_preview);
    recorderRow->addStretch();
    column->addLayout(recorderRow);

    m_hint = new QLabel(box);
    m_hint->setObjectName("recorderHint");
    m_hint->setWordWrap(true);
    normalWeight(m_hint);
    ViewStyle::apply(m_hint, ViewStyle::Font::caption, ViewStyle::Colour::secondary);
    column->addWidget(m_hint);
    column->addWidget(divider(box));

    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(6);
    int row = 0;
    for (const Gesture& gesture : gestures()) {
        auto* name = new QLabel(qstr(gesture.name), box);
        normalWeight(name);
        ViewStyle::apply(name, ViewStyle::Font::callout, ViewStyle::Colour::secondary);
        auto* keys = new QLabel(box);
        keys->setObjectName(QStringLiteral("gestureKeys%1").arg(row));
        ViewStyle::apply(keys, ViewStyle::Font::monospacedCallout);
        keys->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(name, row, 0);
        grid->addWidget(keys, row, 1);
        grid->setColumnStretch(0, 1);
        m_gestureKeys.push_back(keys);
        ++row;
    }
    column->addLayout(grid);
    column->addWidget(divider(box));

    auto* restore =
        new QPushButton(qstr(localized("Restore Default", "Restore default shortcut button")), box);
    restore->setObjectName("restoreDefault");
    normalWeight(restore);
    connect(restore, &QPushButton::clicked, this, [this] { restoreDefault(); });
    column->addWidget(restore, 0, Qt::AlignLeft);

    m_hotkeyError = new ErrorRow(box, "hotkeyError");
    column->addWidget(m_hotkeyError);
    return box;
}

QWidget* PreferencesView::makePermissionsSection() {
    auto* box = new QGroupBox(this);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    column->setContentsMargins(12, 8, 12, 12);

    auto* header = new QHBoxLayout();
    auto* title = new QLabel(qstr(localized("Permissions", "Preferences section title")), box);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* recheck = new QToolButton(box);
    recheck->setObjectName("recheck");
    recheck->setAutoRaise(true);
    const QIcon refresh = QIcon::fromTheme(QStringLiteral("view-refresh"));
    if (refresh.isNull())
        recheck->setText(QStringLiteral("↻"));
    else
        recheck->setIcon(refresh);
    recheck->setAccessibleName(qstr(localized("Recheck", "Recheck permissions button")));
    recheck->setToolTip(qstr(localized("Recheck", "Recheck permissions button")));
    connect(recheck, &QToolButton::clicked, this, [this] { m_backend.refreshPermissions(); });
    header->addWidget(title);
    header->addWidget(recheck);
    header->addStretch();
    column->addLayout(header);

    m_windowManager = std::make_unique<PermissionRow>(
        box, column,
        PermissionRow::Texts{
            qstr(localized("Window manager", "Window manager check label")),
            qstr(localized("Open Window Manager Help…", "Open window manager help")),
            qstr(m_backend.permissionHelp().windowManagerExplanation())},
        "preferences-system-windows", "windowManager");
    connect(m_windowManager->button(), &QPushButton::clicked, this,
            [this] { m_backend.promptForWindowManager(); });
    column->addWidget(divider(box));
    m_keyboardAccess = std::make_unique<PermissionRow>(
        box, column,
        PermissionRow::Texts{
            qstr(localized("Keyboard access", "Keyboard access check label")),
            qstr(localized("Open Keyboard Access Help…", "Open keyboard access help")),
            qstr(m_backend.permissionHelp().keyboardAccessExplanation())},
        "input-keyboard", "keyboardAccess");
    connect(m_keyboardAccess->button(), &QPushButton::clicked, this,
            [this] { m_backend.openKeyboardAccessHelp(); });
    return box;
}

QWidget* PreferencesView::makeUsageTipsSection() {
    auto* box = new QGroupBox(this);
    auto* column = new QVBoxLayout(box);
    m_tipsToggle = new QToolButton(box);
    m_tipsToggle->setObjectName("usageTipsToggle");
    m_tipsToggle->setText(qstr(localized("Usage Tips", "Usage tips disclosure title")));
    m_tipsToggle->setCheckable(true);
    m_tipsToggle->setChecked(false);
    m_tipsToggle->setAutoRaise(true);
    m_tipsToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_tipsToggle->setArrowType(Qt::RightArrow);
    m_tipsToggle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_tipsToggle->setStyleSheet(QStringLiteral("QToolButton { text-align: left; border: none; }"));
    column->addWidget(m_tipsToggle);

    m_tips = new QWidget(box);
    m_tips->setObjectName("usageTips");
    auto* tips = new QVBoxLayout(m_tips);
    tips->setContentsMargins(0, 8, 0, 0);
    tips->setSpacing(10);
    const std::string texts[] = {
        m_backend.permissionHelp().showingTip(),
        localized(
            "Hold Left or Right for 0.6 seconds to move all of the selected app’s windows to the "
            "screen where you started switching. Full-screen and fixed windows stay in place.",
            "Usage tip: long press moves windows"),
        localized(
            "Up enters full screen for the focused window of the frontmost app; Down exits full "
            "screen.",
            "Usage tip: full screen"),
        localized("Drag icons in the overlay to set your custom order.", "Usage tip: reordering"),
        m_backend.permissionHelp().permissionsTip(),
    };
    for (const std::string& text : texts) {
        auto* label = new QLabel(qstr(text), m_tips);
        label->setWordWrap(true);
        ViewStyle::apply(label, ViewStyle::Font::callout, ViewStyle::Colour::secondary);
        tips->addWidget(label);
    }
    m_tips->setVisible(false);
    column->addWidget(m_tips);
    connect(m_tipsToggle, &QToolButton::toggled, this, [this](bool expanded) {
        m_tipsToggle->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
        m_tips->setVisible(expanded);
    });
    return box;
}

void PreferencesView::setLaunchAtLogin(bool enabled) {
    m_loginItemError.reset();
    const auto error = enabled ? m_loginItems.registerItem() : m_loginItems.unregisterItem();
    if (error)
        m_loginItemError = error;
    m_loginItemStatus = m_loginItems.status();
    updateLogin();
}

void PreferencesView::refreshLoginItemStatus() {
    m_loginItemStatus = m_loginItems.status();
    updateLogin();
}

void PreferencesView::toggleRecording() {
    if (m_recorder.isRecording().get()) {
        m_recorder.cancelRecording();
        return;
    }
    m_backend.setHotkeysSuspended(true);
    m_recorder.beginRecording();
}

void PreferencesView::restoreDefault() {
    m_recorder.cancelRecording();
    m_backend.setHotkeysSuspended(false);
    m_backend.applyShortcut(ShortcutModifiers::defaultCombination);
}

void PreferencesView::recordingChanged(bool recording) {
    m_capture->setRecording(recording);
    updateRecorder();
    if (recording)
        return;
    m_backend.setHotkeysSuspended(false);
    if (const auto recorded = m_recorder.recordedModifiers().get())
        m_backend.applyShortcut(*recorded);
}

void PreferencesView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshLoginItemStatus();
}

void PreferencesView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_recorder.cancelRecording();
    m_backend.setHotkeysSuspended(false);
}

void PreferencesView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Coming back from another application (the file manager, after approving the entry).
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refreshLoginItemStatus();
}

void PreferencesView::updateLogin() {
    const bool ticked = m_loginItemStatus == LoginItemStatus::enabled ||
                        m_loginItemStatus == LoginItemStatus::requiresApproval;
    m_launchAtLogin->setChecked(ticked);
    if (!m_loginItemError) {
        m_loginError->setError(std::nullopt);
        return;
    }
    m_loginError->setError(
        qstr(localized("Could not update launch at login: ", "Launch at login error prefix")) +
        qstr(*m_loginItemError));
}

void PreferencesView::updateTheme() {
    if (QAbstractButton* button = m_themes->button(static_cast<int>(m_backend.theme())))
        button->setChecked(true);
}

void PreferencesView::updateRecorder() {
    const bool recording = m_recorder.isRecording().get();
    m_recordButton->setText(
        recording ? qstr(localized("Cancel Recording", "Recorder button while recording"))
                  : qstr(localized("Record Shortcut", "Recorder button")));
    const ShortcutModifiers shown = recording ? m_recorder.preview().get() : m_backend.modifiers();
    m_preview->setText(shown.isEmpty() ? QStringLiteral("—")
                                       : QString::fromStdString(shown.displayString()));
    const QColor accent = palette().color(QPalette::Highlight);
    m_preview->setStyleSheet(
        QStringLiteral("QLabel { padding: 5px 12px; border-radius: 6px; "
                       "background: rgba(127,127,127,0.16); border: 2px solid %1; }")
            .arg(recording ? accent.name() : QStringLiteral("transparent")));
    m_hint->setText(
        recording ? qstr(localized("Press modifier keys, then release to confirm. Escape cancels.",
                                   "Recorder hint while recording"))
                  : qstr(localized("Record a modifier combination. Arrow keys stay fixed.",
                                   "Recorder hint")));
}

void PreferencesView::updateGestures() {
    const std::string modifiers = m_backend.modifiers().displayString();
    const std::vector<Gesture> rows = gestures();
    for (std::size_t i = 0; i < m_gestureKeys.size() && i < rows.size(); ++i)
        m_gestureKeys[i]->setText(QString::fromStdString(modifiers + rows[i].suffix));
}

void PreferencesView::updateHotkeyError() {
    const auto& error = m_backend.hotkeyError().get();
    m_hotkeyError->setError(error ? std::optional<QString>(qstr(*error)) : std::nullopt);
}

void PreferencesView::updatePermissions() {
    const bool trusted = m_backend.windowManagerRunning().get();
    m_windowManager->show(trusted, trusted ? qstr(localized("Granted", "Permission status"))
                                           : qstr(localized("Required", "Permission status")));
    const bool monitoring = m_backend.keyboardAccess().get();
    m_keyboardAccess->show(monitoring, monitoring
                                           ? qstr(localized("Granted", "Permission status"))
                                           : qstr(localized("Not Granted", "Permission status")));
}

} // namespace halvo
