// The recording rule.
#include "settings/ShortcutRecorder.h"

namespace halvo {

void ShortcutRecorder::handleFlags(Modifiers held) {
    if (!m_isRecording.get())
        return;
    const ShortcutModifiers current(held);
    if (current.isEmpty()) {
        if (m_preview->isValid()) {
            m_recordedModifiers = m_preview.get();
            m_isRecording = false;
        }
        return;
    }
    if (current.count() >= m_preview->count())
        m_preview = current;
}

void ShortcutRecorder::beginRecording() {
    m_preview = ShortcutModifiers();
    m_recordedModifiers = std::nullopt;
    m_isRecording = true;
}

void ShortcutRecorder::cancelRecording() {
    m_recordedModifiers = std::nullopt;
    m_preview = ShortcutModifiers();
    m_isRecording = false;
}

} // namespace halvo
