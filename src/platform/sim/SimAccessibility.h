// The accessibility side of the simulated desktop: applications and windows answer with the
// attributes of their SimWindowAttributes, and every write changes them.
#pragma once

#include "platform/Accessibility.h"

namespace halvo {

class SimDesktop;

class SimAccessibility final : public Accessibility {
public:
    explicit SimAccessibility(SimDesktop& desktop) : m_desktop(desktop) {}

    bool isProcessTrusted() override;
    bool isProcessTrustedWithPrompt() override;
    AXElement createApplication(ProcessID pid) override;
    AXError setMessagingTimeout(const AXElement& element, float seconds) override;
    AXError copyAttributeValue(const AXElement& element, std::string_view attribute,
                               AXValue& value) override;
    AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                              const AXValue& value) override;
    AXError isAttributeSettable(const AXElement& element, std::string_view attribute,
                                bool& settable) override;
    AXError performAction(const AXElement& element, std::string_view action) override;

private:
    SimDesktop& m_desktop;
};

} // namespace halvo
