// Puts the focused window of an application into full screen or takes it out, reporting what
// happened; the caller turns `unavailable` and `failed` into a beep.
#pragma once

#include "platform/AXTypes.h"
#include "platform/Accessibility.h"
#include "platform/BackgroundQueue.h"
#include "platform/MainQueue.h"

#include <functional>
#include <optional>

namespace halvo {

class WindowFullScreenService {
public:
    enum class Result {
        changed,     // written with the wanted value, and the window read back in that state
        unchanged,   // already in the wanted state; nothing written
        unavailable, // nothing to act on, or no way to act
        failed,      // the write was attempted and failed, or the state did not change
    };

    static constexpr float fullScreenMessagingTimeout = 0.25f;

    // `serialQueue` must run its work one item at a time in submission order, so that quick
    // requests for another process are applied in the order they were made.
    WindowFullScreenService(Accessibility& accessibility, MainQueue& mainQueue,
                            BackgroundQueue& serialQueue, ProcessID ownPid);

    // Main thread. Without the permission the result is `unavailable` and no window is asked
    // anything. Halvo's own windows are changed inline, every other process's on the serial
    // queue. The completion runs on the main thread, always after this returns.
    void setFullScreen(bool enter, ProcessID pid, std::function<void(Result)> completion);

    // The change itself; safe on any thread.
    static Result applyFullScreen(Accessibility& accessibility, bool enter, ProcessID pid);

    // The application's focused element when it is a real window.
    static std::optional<AXElement> focusedWindow(Accessibility& accessibility, ProcessID pid);
    // "AXFullScreen" as a boolean; nothing when unreadable or of another kind.
    static std::optional<bool> readFullScreen(Accessibility& accessibility,
                                              const AXElement& window);
    static bool writeFullScreen(Accessibility& accessibility, const AXElement& window, bool enter);

private:
    Accessibility& m_accessibility;
    MainQueue& m_mainQueue;
    BackgroundQueue& m_serialQueue;
    ProcessID m_ownPid;
};

} // namespace halvo
