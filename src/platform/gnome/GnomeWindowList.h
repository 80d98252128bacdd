// One answer of the extension's GetWindows (JSON text from inside the shell, not trusted) read into
// applications: windows grouped by app id, or X class under Xwayland (what mutter reports as the
// window's class), as on sway. Plain values and free of Qt, so any thread may read and keep one.
#pragma once

#include "platform/Geometry.h"
#include "platform/RunningApplication.h"
#include "platform/WindowInfo.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class GnomeWindowList {
public:
    // Longer answers are refused: far more than a desktop of a thousand windows needs.
    static constexpr std::size_t maxTextLength = 4 * 1024 * 1024;
    static constexpr std::size_t maxAppKeyLength = 512;

    struct Window {
        WindowInfo info;
        std::string appKey;
        ProcessID pid = 0;
        int monitor = -1;
    };

    struct Application {
        std::string appKey; // also the bundle identifier
        ProcessID pid = 0;
        bool own = false;            // Halvo's own windows
        bool regular = false;        // has a window of normal kind and is not Halvo
        std::vector<Window> windows; // topmost first
        bool hidden() const;         // every window minimised
    };

    // Nothing when the text is not a window list (too long, not JSON, a member of the wrong
    // type); windows without an app key are left out. `ownPid` marks Halvo's own windows.
    static std::optional<GnomeWindowList> parse(const std::string& text, ProcessID ownPid);

    const std::vector<Application>& applications() const { return m_applications; }
    const Application* find(ProcessID pid) const;
    const Window* window(WindowID id) const;
    const Window* focusedWindow() const;
    const Application* focusedApplication() const;
    // The window activating the application brings forward: the focused one, else the topmost
    // one not minimised, else the topmost.
    const Window* mainWindow(const Application& application) const;

private:
    void add(Window window, ProcessID ownPid);

    std::vector<Application> m_applications;
    std::optional<WindowID> m_focused;
};

} // namespace halvo
