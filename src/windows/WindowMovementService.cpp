// Window moves across screens: the preconditions on the main thread, the window work on plain
// values, the placement as a pure function.
#include "windows/WindowMovementService.h"

#include "core/AppActivator.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace halvo {
namespace {

constexpr WindowMovementService::Result refused{0, 0, 1};

double fraction(double windowMin, double windowLength, double areaMin, double areaLength) {
    if (areaLength <= windowLength)
        return 0.5;
    return std::clamp((windowMin - areaMin) / (areaLength - windowLength), 0.0, 1.0);
}

} // namespace

WindowMovementService::WindowMovementService(WindowControl& windowControl, Screens& screens,
                                             MainQueue& mainQueue, BackgroundQueue& backgroundQueue,
                                             ProcessID ownPid)
    : m_windowControl(windowControl), m_screens(screens), m_mainQueue(mainQueue),
      m_backgroundQueue(backgroundQueue), m_ownPid(ownPid) {}

void WindowMovementService::moveWindows(ProcessID pid, const Screen& target,
                                        std::function<void(Result)> completion) {
    const std::vector<Screen> screens = m_screens.screens();
    const auto current = std::find(screens.begin(), screens.end(), target);
    if (!m_windowControl.isWindowManagerRunning() || screens.size() < 2 ||
        current == screens.end()) {
        m_mainQueue.post([completion = std::move(completion)] { completion(refused); });
        return;
    }
    // The target's geometry as it is now: a panel or the layout may have changed since the
    // caller took its copy of the screen.
    const Rect targetArea = current->visibleFrame;
    std::vector<Rect> areas;
    areas.reserve(screens.size());
    for (const Screen& screen : screens)
        areas.push_back(screen.visibleFrame);

    if (pid == m_ownPid) {
        const Result result = performMove(m_windowControl, pid, areas, targetArea);
        m_mainQueue.post([completion = std::move(completion), result] { completion(result); });
        return;
    }
    WindowControl& windowControl = m_windowControl;
    MainQueue& mainQueue = m_mainQueue;
    m_backgroundQueue.async([&windowControl, &mainQueue, pid, areas = std::move(areas), targetArea,
                             completion = std::move(completion)]() mutable {
        const Result result = performMove(windowControl, pid, areas, targetArea);
        mainQueue.post([completion = std::move(completion), result] { completion(result); });
    });
}

WindowMovementService::Result
WindowMovementService::performMove(WindowControl& windowControl, ProcessID pid,
                                   const std::vector<Rect>& screenAreas, const Rect& target) {
    if (screenAreas.empty())
        return refused;
    const std::optional<AppWindows> app = windowControl.windows(pid);
    if (!app || app->windows.empty())
        return refused;

    Result result;
    std::vector<WindowID> sent;
    for (const WindowInfo& window : app->windows) {
        const Rect& frame = window.frame;
        if (!AppActivator::isWindow(window) || window.fullScreen || frame.isEmpty()) {
            ++result.skipped;
            continue;
        }
        const Rect source = sourceArea(frame, screenAreas);
        if (source == target) {
            ++result.unchanged;
            continue;
        }
        if (!window.canMove) {
            ++result.skipped;
            continue;
        }
        Rect next = targetFrame(frame, source, target);
        if (!window.canResize) {
            next.width = frame.width;
            next.height = frame.height;
        }
        if (windowControl.setFrame(window, next) == WindowResult::ok)
            sent.push_back(window.id);
        else
            ++result.skipped;
    }
    if (sent.empty())
        return result;

    // One read confirms every window: its origin must lie within the target area grown by the
    // slack on every side.
    const std::optional<AppWindows> landed = windowControl.windows(pid);
    const Rect accepted = target.insetBy(-confirmationSlack);
    for (WindowID id : sent) {
        const WindowInfo* window = landed ? landed->find(id) : nullptr;
        if (window && !window->frame.isEmpty() && accepted.contains(window->frame.origin()))
            ++result.moved;
        else
            ++result.skipped;
    }
    return result;
}

Rect WindowMovementService::targetFrame(const Rect& window, const Rect& source,
                                        const Rect& target) {
    const double fx = fraction(window.minX(), window.width, source.minX(), source.width);
    const double fy = fraction(window.minY(), window.height, source.minY(), source.height);
    const double width = std::min(window.width, target.width);
    const double height = std::min(window.height, target.height);
    return {target.minX() + (target.width - width) * fx,
            target.minY() + (target.height - height) * fy, width, height};
}

Rect WindowMovementService::sourceArea(const Rect& window, const std::vector<Rect>& screenAreas) {
    assert(!screenAreas.empty() && "a move needs at least one screen");
    std::size_t best = 0;
    double bestArea = 0;
    for (std::size_t i = 0; i < screenAreas.size(); ++i) {
        const double area = window.intersection(screenAreas[i]).area();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return screenAreas[best];
}

} // namespace halvo
