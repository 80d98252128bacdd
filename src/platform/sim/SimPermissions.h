// Permissions that tests grant and revoke; prompts are counted.
#pragma once

#include "platform/Permissions.h"

namespace halvo {

class SimPermissions final : public Permissions {
public:
    bool isAccessibilityTrusted() override { return m_accessibility; }
    bool isAccessibilityTrustedWithPrompt() override {
        if (!m_accessibility)
            ++m_prompts;
        return m_accessibility;
    }
    bool isInputMonitoringGranted() override { return m_inputMonitoring; }

    // Test controls.
    void setAccessibility(bool granted) { m_accessibility = granted; }
    void setInputMonitoring(bool granted) { m_inputMonitoring = granted; }
    int prompts() const { return m_prompts; }

private:
    bool m_accessibility = true;
    bool m_inputMonitoring = true;
    int m_prompts = 0;
};

} // namespace halvo
