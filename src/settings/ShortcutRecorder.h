// Recording a new modifier combination by pressing it: the largest combination held before every
// key is released becomes the result.
#pragma once

#include "input/ShortcutModifiers.h"
#include "platform/Modifiers.h"
#include "platform/Published.h"

#include <optional>

namespace halvo {

class ShortcutRecorder {
public:
    Published<bool>& isRecording() { return m_isRecording; }
    Published<ShortcutModifiers>& preview() { return m_preview; }
    Published<std::optional<ShortcutModifiers>>& recordedModifiers() { return m_recordedModifiers; }

    // Takes the modifier keys held after a change. Ignored unless recording. Releasing every
    // key confirms a valid preview (recordedModifiers first, then isRecording false); releasing
    // without one keeps recording. Otherwise a set at least as large as the preview replaces it.
    void handleFlags(Modifiers held);

    // preview empty, recordedModifiers none, isRecording true, in this order.
    void beginRecording();

    // recordedModifiers none, preview empty, isRecording false, in this order: observers of
    // isRecording never see a result of a cancelled recording.
    void cancelRecording();

private:
    Published<bool> m_isRecording{false};
    Published<ShortcutModifiers> m_preview{ShortcutModifiers()};
    Published<std::optional<ShortcutModifiers>> m_recordedModifiers{std::nullopt};
};

} // namespace halvo
