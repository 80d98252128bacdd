// The two things switching depends on: a window manager that lets Halvo control other
// applications' windows, and keyboard access that shows the modifier keys whichever window has the
// focus.
#pragma once

namespace halvo {

class Permissions {
public:
    virtual ~Permissions() = default;

    // Whether other applications' windows can be raised, moved and put into full screen: the
    // answer of WindowControl::isWindowManagerRunning(), the one check both make. Never prompts.
    virtual bool isWindowManagerRunning() = 0;

    // The same, and when not trusted tells the user what is missing. The answer is the state at
    // the time of the call; granting takes effect later.
    virtual bool isWindowManagerRunningWithPrompt() = 0;

    // Whether modifier changes and key releases are seen while other clients have the focus. A
    // check only: the permission is never requested.
    virtual bool hasKeyboardAccess() = 0;
};

} // namespace halvo
