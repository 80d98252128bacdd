// Puts the focused window of an application into full screen or takes it out, reporting what
// happened; the caller turns `unavailable` and `failed` into a beep.
#pragma once

#include "platform/BackgroundQueue.h"
#include "platform/MainQueue.h"
#include "platform/WindowControl.h"

#include <functional>
#include <optional>

namespace halvo {

class WindowFullScreenService {
public:
    enum class Result {
        changed,     // asked for, and the window seen in the wanted state
        unchanged,   // already in the wanted state; nothing asked
        unavailable, // nothing to act on, or no way to act
        failed,      // asked for, and refused or not carried out
    };

    // `serialQueue` must run its work one item at a time in submission order, so that quick
    // requests for another process are applied in the order they were made.
    WindowFullScreenService(WindowControl& windowControl, MainQueue& mainQueue,
                            BackgroundQueue& serialQueue, ProcessID ownPid);

    // Main thread. Without a window manager the result is `unavailable` and no window is asked
    // anything. Halvo's own windows are changed inline, every other process's on the serial
    // queue. The completion runs on the main thread, always after this returns.
    void setFullScreen(bool enter, ProcessID pid, std::function<void(Result)> completion);

    // The change itself, for the application's focused window when it is a real window; safe on
    // any thread.
    static Result applyFullScreen(WindowControl& windowControl, bool enter, ProcessID pid);

private:
    WindowControl& m_windowControl;
    MainQueue& m_mainQueue;
    BackgroundQueue& m_serialQueue;
    ProcessID m_ownPid;
};

} // namespace halvo
