// The two permissions switching depends on: controlling other applications' windows
// ("Accessibility") and seeing the modifier keys whichever window has the focus ("Input
// Monitoring").
#pragma once

namespace halvo {

class Permissions {
public:
    virtual ~Permissions() = default;

    // Whether other applications' windows can be raised, moved and put into full screen: the
    // answer of WindowControl::isWindowManagerRunning(), the one check both make. Never prompts.
    virtual bool isAccessibilityTrusted() = 0;

    // The same, and when not trusted tells the user what is missing. The answer is the state at
    // the time of the call; granting takes effect later.
    virtual bool isAccessibilityTrustedWithPrompt() = 0;

    // Whether modifier changes and key releases are seen while other clients have the focus. A
    // check only: the permission is never requested.
    virtual bool isInputMonitoringGranted() = 0;
};

} // namespace halvo
