// One snapshot of sway's windows (one GET_TREE) grouped into applications: by app_id, or for an
// X11 window under Xwayland by its WM_CLASS class, as on X11. Windows are listed most recently
// focused first, which is what stacking order means on a tiling compositor. The tree alone gives
// that order only within each container (every output and workspace keeps its own focus stack),
// so a window on a hidden workspace of one output may have been used after one on another output
// that the tree lists first; orderByUse() puts the order of use seen in sway's focus events over
// it. Plain values and free of Qt, so any thread may read and keep one.
#pragma once

#include "platform/Geometry.h"
#include "platform/RunningApplication.h"
#include "platform/WindowInfo.h"
#include "platform/i3ipc/I3Node.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class SwayClientList {
public:
    // sway keeps the scratchpad in this workspace of a hidden output.
    static constexpr const char* scratchpadWorkspace = "__i3_scratch";

    struct Window {
        std::int64_t id = 0;  // con_id
        std::string appKey;   // app_id, else WM_CLASS class
        std::string instance; // WM_CLASS instance (X11 windows), else empty
        ProcessID pid = 0;
        WindowInfo::Kind kind = WindowInfo::Kind::normal;
        Rect frame;         // outer frame, title bar included, in layout coordinates
        std::string output; // the output's name; empty in the scratchpad
        bool floating = false;
        // Has the focus, or would get it back from a layer surface (Halvo's own, while a shortcut
        // is held) that holds the keyboard: sway then marks no window focused, but the window
        // at the end of the focus path (each node's most recently focused child, from the root)
        // is the one its focus command chose.
        bool focused = false;
        bool scratchpad = false; // put away: sway's nearest thing to minimised
        bool fullScreen = false;
    };

    struct Output {
        std::string name;
        Rect rect; // layout coordinates
        std::string currentWorkspace;
    };

    struct Application {
        std::string appKey; // also the bundle identifier
        ProcessID pid = 0;
        bool own = false;            // Halvo's own windows
        bool regular = false;        // has a window of normal kind and is not Halvo
        std::vector<Window> windows; // most recently focused first
        bool hidden() const;         // every window in the scratchpad
    };

    // Reads the tree; `ownPid` marks Halvo's own windows.
    static SwayClientList fromTree(const I3Node& root, ProcessID ownPid);
    // Orders the windows (in each application too) by use: the focused one, then those in
    // `recentFirst` (con_ids, most recently focused first), then the others in the tree's order.
    void orderByUse(const std::vector<std::int64_t>& recentFirst);

    const std::vector<Application>& applications() const { return m_applications; }
    // The active outputs in tree order (sway's order).
    const std::vector<Output>& outputs() const { return m_outputs; }

    const Application* find(ProcessID pid) const;
    const Application* owner(std::int64_t conId) const;
    const Window* window(std::int64_t conId) const;
    const Window* focusedWindow() const;
    // The window activating the application shows: its focused one, else the most recently
    // focused one not in the scratchpad, else the most recently focused.
    const Window* mainWindow(const Application& application) const;

    // A process identifier for applications whose own cannot be used (none, or shared with
    // another application): negative, and the same for the same key.
    static ProcessID syntheticPid(const std::string& appKey);
    // The kind of an X11 window from the type sway reports; Wayland windows are normal.
    static WindowInfo::Kind kindOf(const std::string& windowType);

private:
    void collect(const I3Node& node, const std::string& output, bool scratchpad, bool onFocusPath);

    std::vector<Application> m_applications;
    std::vector<Output> m_outputs;
    std::vector<Window> m_windows; // every window, most recently focused first
};

} // namespace halvo
