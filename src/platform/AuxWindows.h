// The program's own two windows, Preferences and About: each created on first use and kept, so
// closing only hides it and the next opening brings back the same window.
#pragma once

namespace halvo {

class AuxWindows {
public:
    virtual ~AuxWindows() = default;

    // Creates the window the first time (centred), then shows it in front of every other
    // application's window and gives it the focus.
    virtual void showPreferences() = 0;
    virtual void showAbout() = 0;
};

} // namespace halvo
