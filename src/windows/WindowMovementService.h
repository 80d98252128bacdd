// Moves all windows of one application to another screen, each keeping its relative place on its
// screen and shrinking to fit when it is larger than the new screen's usable area. Window frames
// and screens share the desktop's layout coordinates, so the screens' visible frames are the
// areas as they come.
#pragma once

#include "platform/BackgroundQueue.h"
#include "platform/Geometry.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Screens.h"
#include "platform/WindowControl.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class WindowMovementService {
public:
    // Counts of windows. A call refused as a whole reports (0, 0, 1), so the caller always has
    // something to beep about when nothing was done.
    struct Result {
        std::int64_t moved = 0;     // position set and confirmed on the target screen
        std::int64_t unchanged = 0; // already on the target screen; not touched
        std::int64_t skipped = 0;   // left alone, or the move was not confirmed
        bool operator==(const Result&) const = default;
    };

    // How far outside the target area a confirmed origin may land.
    static constexpr double confirmationSlack = 2;

    // The workspace names the application in the log.
    WindowMovementService(WindowControl& windowControl, Screens& screens, MainQueue& mainQueue,
                          BackgroundQueue& backgroundQueue, ProcessID ownPid, Workspace& workspace,
                          Log& log);

    // Main thread. Checks the permission and the screens and captures their geometry here; the
    // windows of other processes are moved on the background queue, Halvo's own inline. The
    // completion runs on the main thread, always after this returns. A call refused as a whole
    // and every window that is not moved leave a line in the log that says why.
    void moveWindows(ProcessID pid, const Screen& target, std::function<void(Result)> completion);

    // The moves themselves, on plain values (the screens' visible frames, in screen-list order,
    // the target among them): one read of the windows, a frame change per window to move, and one
    // read that confirms where they landed. Safe on any thread. `why`, when given, gets one
    // reason for each window not moved (or for the whole call when it is refused).
    static Result performMove(WindowControl& windowControl, ProcessID pid,
                              const std::vector<Rect>& screenAreas, const Rect& target,
                              std::vector<std::string>* why = nullptr);

    // The window's new frame: the same share of the free space on each axis (centred when the
    // window is at least as large as the source area), never larger than the target area.
    static Rect targetFrame(const Rect& window, const Rect& source, const Rect& target);

    // The area with the largest overlap with the window; ties go to the earlier area, and a window
    // that overlaps none belongs to the first.
    static Rect sourceArea(const Rect& window, const std::vector<Rect>& screenAreas);

private:
    // Writes "Halvo: Did not move <app>'s windows to <screen>: <reason>" for each reason.
    void logUnmoved(ProcessID pid, const Screen& target, const std::vector<std::string>& reasons);

    WindowControl& m_windowControl;
    Screens& m_screens;
    MainQueue& m_mainQueue;
    BackgroundQueue& m_backgroundQueue;
    ProcessID m_ownPid;
    Workspace& m_workspace;
    Log& m_log;
};

} // namespace halvo
