// Key capture for the shortcut recorder.
#include "settings/view/ShortcutCaptureWidget.h"

#include <QApplication>
#include <QKeyEvent>

namespace halvo {
namespace {

// AltGr (ISO_Level3_Shift, Mod5) is not among them: the global shortcut takes Alt on Mod1 only,
// so a combination recorded with AltGr could never be pressed.
Modifiers flagOfKey(int key) {
    switch (key) {
    case Qt::Key_Control:
        return Modifier::control;
    case Qt::Key_Alt:
        return Modifier::alt;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return Modifier::super;
    case Qt::Key_Shift:
        return Modifier::shift;
    default:
        return {};
    }
}

} // namespace

ShortcutCaptureWidget::ShortcutCaptureWidget(QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

Modifiers ShortcutCaptureWidget::flagsFor(int key, Qt::KeyboardModifiers modifiers, bool pressed) {
    Modifiers flags;
    if (modifiers & Qt::ControlModifier)
        flags = flags | Modifier::control;
    if (modifiers & Qt::AltModifier)
        flags = flags | Modifier::alt;
    if (modifiers & Qt::MetaModifier)
        flags = flags | Modifier::super;
    if (modifiers & Qt::ShiftModifier)
        flags = flags | Modifier::shift;
    const Modifiers own = flagOfKey(key);
    return pressed ? (flags | own) : flags.without(own);
}

void ShortcutCaptureWidget::setRecording(bool recording) {
    m_recording = recording;
    if (recording && isVisible() && window()->isVisible())
        startCapture();
    else
        stopCapture();
}

void ShortcutCaptureWidget::startCapture() {
    if (m_capturing)
        return;
    QWidget* focus = QApplication::focusWidget();
    m_previousFocus = focus && focus->window() == window() && focus != this ? focus : nullptr;
    m_capturing = true;
    setFocus(Qt::OtherFocusReason);
}

void ShortcutCaptureWidget::stopCapture() {
    if (!m_capturing)
        return;
    m_capturing = false;
    if (hasFocus()) {
        if (m_previousFocus)
            m_previousFocus->setFocus(Qt::OtherFocusReason);
        else
            clearFocus();
    }
    m_previousFocus = nullptr;
}

bool ShortcutCaptureWidget::event(QEvent* event) {
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
                     event->type() == QEvent::ShortcutOverride;
    if (!key || !m_capturing)
        return QWidget::event(event);
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    // Claiming the shortcut keeps window shortcuts and mnemonics from seeing the key.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    const bool pressed = event->type() == QEvent::KeyPress;
    if (!flagOfKey(keyEvent->key()).isEmpty()) {
        if (!keyEvent->isAutoRepeat() && onFlags)
            onFlags(flagsFor(keyEvent->key(), keyEvent->modifiers(), pressed));
    } else if (pressed && keyEvent->key() == Qt::Key_Escape && onCancel) {
        onCancel();
    }
    event->accept();
    return true;
}

void ShortcutCaptureWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (m_capturing && m_recording && onCancel)
        onCancel();
}

void ShortcutCaptureWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_recording)
        startCapture();
}

void ShortcutCaptureWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    stopCapture();
}

} // namespace halvo
