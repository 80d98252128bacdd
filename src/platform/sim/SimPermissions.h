// Permissions on the simulated desktop: the window-manager check is the desktop's own (so the two
// never disagree); keyboard access is a test control; prompts are counted.
#pragma once

#include "platform/Permissions.h"
#include "platform/WindowControl.h"

namespace halvo {

class SimPermissions final : public Permissions {
public:
    explicit SimPermissions(WindowControl& windowControl) : m_windowControl(windowControl) {}

    bool isWindowManagerRunning() override { return m_windowControl.isWindowManagerRunning(); }
    bool isWindowManagerRunningWithPrompt() override {
        const bool trusted = isWindowManagerRunning();
        if (!trusted)
            ++m_prompts;
        return trusted;
    }
    bool hasKeyboardAccess() override { return m_keyboardAccess; }

    // Test controls.
    void setKeyboardAccess(bool granted) { m_keyboardAccess = granted; }
    int prompts() const { return m_prompts; }

private:
    WindowControl& m_windowControl;
    bool m_keyboardAccess = true;
    int m_prompts = 0;
};

} // namespace halvo
