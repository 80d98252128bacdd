// The accessibility interface: read and change other applications' windows. Every call may be
// made from any thread; each blocks its thread for at most the element's messaging timeout.
#pragma once

#include "platform/AXTypes.h"

#include <string_view>

namespace halvo {

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether Halvo may control other applications' windows. Never prompts.
    virtual bool isProcessTrusted() = 0;

    // The same, and when not trusted asks the user to grant it.
    virtual bool isProcessTrustedWithPrompt() = 0;

    // Always gives an element, even for a process that does not exist; calls on it then fail.
    virtual AXElement createApplication(ProcessID pid) = 0;

    virtual AXError setMessagingTimeout(const AXElement& element, float seconds) = 0;
    virtual AXError copyAttributeValue(const AXElement& element, std::string_view attribute,
                                       AXValue& value) = 0;
    virtual AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                                      const AXValue& value) = 0;
    virtual AXError isAttributeSettable(const AXElement& element, std::string_view attribute,
                                        bool& settable) = 0;
    virtual AXError performAction(const AXElement& element, std::string_view action) = 0;
};

} // namespace halvo
