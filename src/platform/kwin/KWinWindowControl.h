// Window control in a KWin session through Halvo's script: one fresh report per read, and the
// script's commands for the changes. A change KWin carries out later (a frame, full screen) is
// read back until it shows or the wait ends.
#pragma once

#include "platform/WindowControl.h"
#include "platform/kwin/KWinScriptChannel.h"

#include <chrono>
#include <functional>

namespace halvo {

class KWinWindowControl final : public WindowControl {
public:
    static constexpr std::chrono::milliseconds commandTimeout{1000};
    // Full screen takes KWin about half a second (the client draws at the new size first).
    static constexpr std::chrono::milliseconds settleTimeout{2000};

    // `channel` must outlive the window control. Any thread.
    explicit KWinWindowControl(KWinScriptChannel& channel);

    // Whether the script answers.
    bool isWindowManagerRunning() override;
    std::optional<AppWindows> windows(ProcessID pid) override;
    WindowResult raise(const WindowInfo& window) override;
    WindowResult activate(const WindowInfo& window) override;
    WindowResult setMinimized(const WindowInfo& window, bool minimized) override;
    WindowResult setFrame(const WindowInfo& window, const Rect& frame) override;
    WindowResult setFullScreen(const WindowInfo& window, bool fullScreen) override;

private:
    WindowResult command(nlohmann::json command);
    // Reads the window again until `done` holds for it; gone when it goes, failed after `wait`.
    WindowResult settle(WindowID id, const std::function<bool(const WindowInfo&)>& done);

    KWinScriptChannel& m_channel;
};

} // namespace halvo
