// Moves all windows of one application to another screen, each keeping its relative place on its
// screen and shrinking to fit when it is larger than the new screen's usable area.
#pragma once

#include "platform/AXTypes.h"
#include "platform/Accessibility.h"
#include "platform/BackgroundQueue.h"
#include "platform/Geometry.h"
#include "platform/MainQueue.h"
#include "platform/Screens.h"

#include <cstdint>
#include <functional>
#include <optional>
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

    static constexpr float moveMessagingTimeout = 0.2f;
    // How far outside the target area a confirmed origin may land.
    static constexpr double confirmationSlack = 2;

    WindowMovementService(Accessibility& accessibility, Screens& screens, MainQueue& mainQueue,
                          BackgroundQueue& backgroundQueue, ProcessID ownPid);

    // Main thread. Checks the permission and the screens and captures their geometry here; the
    // windows of other processes are moved on the background queue, Halvo's own inline. The
    // completion runs on the main thread, always after this returns.
    void moveWindows(ProcessID pid, const Screen& target, std::function<void(Result)> completion);

    // The moves themselves, on plain values (areas in accessibility space, in screen-list order,
    // the target among them). Safe on any thread.
    static Result performMove(Accessibility& accessibility, ProcessID pid,
                              const std::vector<Rect>& screenAreas, const Rect& target);

    // The window's new frame: the same share of the free space on each axis (centred when the
    // window is at least as large as the source area), never larger than the target area.
    static Rect targetFrame(const Rect& window, const Rect& source, const Rect& target);

    // The element's "AXPosition" and "AXSize" as a frame; nothing unless both read as a point and
    // a size of positive width and height.
    static std::optional<Rect> readFrame(Accessibility& accessibility, const AXElement& window);

    // A screen-space rectangle (y up from the primary's bottom) in accessibility space (y down
    // from the primary's top), where primaryMaxY is maxY of the primary screen's full frame.
    static Rect toAccessibilitySpace(const Rect& screenRect, double primaryMaxY);

    // The area with the largest overlap with the window; ties go to the earlier area, and a window
    // that overlaps none belongs to the first.
    static Rect sourceArea(const Rect& window, const std::vector<Rect>& screenAreas);

private:
    Accessibility& m_accessibility;
    Screens& m_screens;
    MainQueue& m_mainQueue;
    BackgroundQueue& m_backgroundQueue;
    ProcessID m_ownPid;
};

} // namespace halvo
