// The composition root of Halvo in an X11 session: the X connection and the X11 backends around
// the shared program.
#pragma once

namespace halvo {

class Log;

class X11Program {
public:
    // Runs Halvo on the display DISPLAY names and returns the exit status: 1 when there is no X
    // server, or when it goes away while Halvo runs ("Lost the connection to the X server").
    static int run(int& argc, char** argv, bool openPreferences, Log& log);
};

} // namespace halvo
