// Permissions on the simulated desktop: the window-manager check is the desktop's own (so the two
// never disagree); keyboard access is a test control; prompts are counted.
#pragma once

#include "platform/Permissions.h"
#include "platform/WindowControl.h"

namespace halvo {

class SimPermissions final : public Permissions {
public:
    explicit SimPermissions(WindowControl& windowControl) : m_windowControl(windowControl) {}

    bool isAccessibilityTrusted() override { return m_windowControl.isWindowManagerRunning(); }
    bool isAccessibilityTrustedWithPrompt() override {
        const bool trusted = isAccessibilityTrusted();
        if (!trusted)
            ++m_prompts;
        return trusted;
    }
    bool isInputMonitoringGranted() override { return m_inputMonitoring; }

    // Test controls.
    void setInputMonitoring(bool granted) { m_inputMonitoring = granted; }
    int prompts() const { return m_prompts; }

private:
    WindowControl& m_windowControl;
    bool m_inputMonitoring = true;
    int m_prompts = 0;
};

} // namespace halvo
