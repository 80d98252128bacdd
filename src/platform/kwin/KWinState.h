// One snapshot of what the KWin script reports: the windows of other processes (topmost
// first), the active one, the outputs and the pointer, parsed from the script's JSON. The script
// runs inside KWin, but what it reports describes other programs' windows: every value is
// bounded and checked, and a report that breaks a bound is refused whole. Plain values, free of
// Qt, so any thread may keep one.
#pragma once

#include "platform/Geometry.h"
#include "platform/RunningApplication.h"
#include "platform/WindowInfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class KWinState {
public:
    static constexpr std::size_t maxWindows = 256;
    static constexpr std::size_t maxScreens = 16;
    static constexpr std::size_t maxText = 256;

    struct Window {
        WindowID id = 0; // the script's number for the window, never 0
        ProcessID pid = 0;
        std::string appKey; // the desktop file name, else the resource class
        int stack = 0;      // KWin's stacking order: higher is above
        WindowInfo info;
    };
    struct Output {
        Rect frame;
        Rect visibleFrame;
    };
    struct Application {
        std::string appKey; // also the bundle identifier
        ProcessID pid = 0;  // the first listed window's
        std::vector<const Window*> windows;
        bool regular() const;
        bool hidden() const; // every window minimised
    };

    // Nothing for anything but a well-formed report within the bounds.
    static std::optional<KWinState> parse(const std::string& json);

    const std::vector<Window>& windows() const { return m_windows; }
    const std::vector<Output>& outputs() const { return m_outputs; }
    Point cursor() const { return m_cursor; }
    const Window* window(WindowID id) const;
    const Window* activeWindow() const { return window(m_active); }

    // The windows grouped by application key, in the order their first windows are listed;
    // the pointers point into this state.
    std::vector<Application> applications() const;
    std::optional<Application> application(ProcessID pid) const;

private:
    std::vector<Window> m_windows;
    std::vector<Output> m_outputs;
    WindowID m_active = 0;
    Point m_cursor;
};

} // namespace halvo
