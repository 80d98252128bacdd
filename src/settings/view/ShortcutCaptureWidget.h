// An invisible widget that, while recording, takes the window's keyboard focus and turns its key
// events into modifier changes: Escape and losing the focus cancel, every key is swallowed.
#pragma once

#include "platform/Modifiers.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace halvo {

class ShortcutCaptureWidget final : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutCaptureWidget(QWidget* parent = nullptr);

    // The modifier keys held after each modifier key change.
    std::function<void(Modifiers)> onFlags;
    std::function<void()> onCancel;

    // Starts capture when recording and shown in a window, stops it otherwise. Stopping gives the
    // focus back to the widget that had it.
    void setRecording(bool recording);
    bool isCapturing() const { return m_capturing; }

    // The modifiers held after a key event: the event's modifiers, corrected for the key itself
    // (X reports the state before a modifier key's own press or release).
    static Modifiers flagsFor(int key, Qt::KeyboardModifiers modifiers, bool pressed);

protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startCapture();
    void stopCapture();

    bool m_recording = false;
    bool m_capturing = false;
    QPointer<QWidget> m_previousFocus;
};

} // namespace halvo
