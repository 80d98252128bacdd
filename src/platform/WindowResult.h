// What became of a request to change a window.
#pragma once

namespace halvo {

enum class WindowResult {
    ok,          // done, and where the desktop says so, seen done
    gone,        // the window no longer exists
    refused,     // the window or the window manager does not allow it
    unsupported, // the window manager cannot do it at all
    failed,      // asked, but the window did not change within the wait
};

} // namespace halvo
