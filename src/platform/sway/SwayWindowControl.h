// Window control over sway's IPC. An application is what SwayClientList groups under a process
// identifier; windows() is one GET_TREE. Changes are commands on the window's con_id:
//   activate       [con_id=N] focus (which also brings a window back from the scratchpad);
//                  nothing when the tree shows the window focused already
//   minimise       [con_id=N] move scratchpad; restore = activate
//   full screen    [con_id=N] fullscreen enable|disable, then read back until the tree shows it
//   set frame      floating: resize set, then move absolute position (layout coordinates);
//                  tiled: move to the output that holds the larger part of the frame; where it
//                  lands there is sway's layout's choice, as with any tiling window manager
// sway has no separate stacking: a floating window comes to the top when it takes the focus, so
// raise only checks that the window is still there. A window whose con_id no longer matches is
// `gone`; a command sway answers with an error is `refused`.
//
// Every call may run on any thread: each borrows a connection of its own (SwayIpcPool), so a
// worker waiting for sway never reads the main thread's replies.
#pragma once

#include "platform/WindowControl.h"
#include "platform/sway/SwayClientList.h"
#include "platform/sway/SwayIpcPool.h"
#include "platform/sway/SwayTreeCache.h"

#include <functional>
#include <optional>
#include <string>

namespace halvo {

class SwayWindowControl final : public WindowControl {
public:
    // How long a move may take to show in the tree, and a state change (full screen, the
    // scratchpad) before it counts as not carried out.
    static constexpr double settleTimeout = 0.25;
    static constexpr double stateTimeout = 1.0;

    // The tree comes from `tree`, shared with the workspace.
    SwayWindowControl(SwayIpcPool& pool, SwayTreeCache& tree) : m_pool(pool), m_tree(tree) {}

    // Whether sway's IPC socket answers.
    bool isWindowManagerRunning() override;
    std::optional<AppWindows> windows(ProcessID pid) override;
    WindowResult raise(const WindowInfo& window) override;
    WindowResult activate(const WindowInfo& window) override;
    WindowResult setMinimized(const WindowInfo& window, bool minimized) override;
    WindowResult setFrame(const WindowInfo& window, const Rect& frame) override;
    WindowResult setFullScreen(const WindowInfo& window, bool fullScreen) override;

    // The window as sway describes it (for the tests' read-back too).
    static WindowInfo describe(const SwayClientList::Window& window);

private:
    // One snapshot of the tree; nothing when sway does not answer.
    std::optional<SwayClientList> read();
    // Runs `command` on the window; ok, refused (sway's error), or gone (the window vanished).
    WindowResult run(std::int64_t conId, const std::string& command);
    // Reads the tree until `done` holds for the window or `timeout` passes: ok, failed, or gone.
    WindowResult
    settle(std::int64_t conId,
           const std::function<bool(const SwayClientList&, const SwayClientList::Window&)>& done,
           double timeout);
    WindowResult moveFloating(const SwayClientList::Window& window, const Rect& layout);
    WindowResult moveTiled(const SwayClientList& list, const SwayClientList::Window& window,
                           const Rect& layout);

    SwayIpcPool& m_pool;
    SwayTreeCache& m_tree;
};

} // namespace halvo
