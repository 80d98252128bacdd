// Window moves across screens: the preconditions on the main thread, the window work on plain
// values, the placement as a pure function.
#include "windows/WindowMovementService.h"

#include "core/AppActivator.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <utility>

namespace halvo {
namespace {

constexpr WindowMovementService::Result refused{0, 0, 1};

double fraction(double windowMin, double windowLength, double areaMin, double areaLength) {
    if (areaLength <= windowLength)
        return 0.5;
    return std::clamp((windowMin - areaMin) / (areaLength - windowLength), 0.0, 1.0);
}

// "window 0x1c00003": the identifier as X11 tools print it.
std::string named(WindowID id) {
    char text[32];
    std::snprintf(text, sizeof text, "window 0x%llx", static_cast<unsigned long long>(id));
    return text;
}

std::string refusalReason(WindowResult result) {
    switch (result) {
    case WindowResult::gone:
        return "it closed";
    case WindowResult::unsupported:
        return "the window manager cannot move it";
    case WindowResult::failed:
        return "the window manager did not move it in time";
    case WindowResult::ok:
    case WindowResult::refused:
        break;
    }
    return "the window manager refused to move it";
}

void note(std::vector<std::string>* reasons, std::string reason) {
    if (reasons)
        reasons->push_back(std::move(reason));
}

} // namespace

WindowMovementService::WindowMovementService(WindowControl& windowControl, Screens& screens,
                                             MainQueue& mainQueue, BackgroundQueue& backgroundQueue,
                                             ProcessID ownPid, Workspace& workspace, Log& log)
    : m_windowControl(windowControl), m_screens(screens), m_mainQueue(mainQueue),
      m_backgroundQueue(backgroundQueue), m_ownPid(ownPid), m_workspace(workspace), m_log(log) {}

void WindowMovementService::moveWindows(ProcessID pid, const Screen& target,
                                        std::function<void(Result)> completion) {
    const std::vector<Screen> screens = m_screens.screens();
    const auto current = std::find(screens.begin(), screens.end(), target);
    const char* refusal = !m_windowControl.isWindowManagerRunning() ? "no window manager runs"
                          : screens.size() < 2                      ? "there is only one screen"
                          : current == screens.end()                ? "that screen is gone"
                                                                    : nullptr;
    if (refusal) {
        logUnmoved(pid, target, {refusal});
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

    // The reasons are logged on the main thread, where the workspace may be asked for the
    // application's name.
    auto finish = [this, pid, target = *current, completion = std::move(completion)](
                      Result result, const std::vector<std::string>& reasons) {
        logUnmoved(pid, target, reasons);
        completion(result);
    };
    if (pid == m_ownPid) {
        std::vector<std::string> reasons;
        const Result result = performMove(m_windowControl, pid, areas, targetArea, &reasons);
        m_mainQueue.post([finish = std::move(finish), result, reasons = std::move(reasons)] {
            finish(result, reasons);
        });
        return;
    }
    WindowControl& windowControl = m_windowControl;
    MainQueue& mainQueue = m_mainQueue;
    m_backgroundQueue.async([&windowControl, &mainQueue, pid, areas = std::move(areas), targetArea,
                             finish = std::move(finish)]() mutable {
        std::vector<std::string> reasons;
        const Result result = performMove(windowControl, pid, areas, targetArea, &reasons);
        mainQueue.post([finish = std::move(finish), result, reasons = std::move(reasons)] {
            finish(result, reasons);
        });
    });
}

void WindowMovementService::logUnmoved(ProcessID pid, const Screen& target,
                                       const std::vector<std::string>& reasons) {
    if (reasons.empty())
        return;
    const std::optional<RunningApplication> app = m_workspace.runningApplication(pid);
    const std::string name = app && app->localizedName      ? *app->localizedName
                             : app && app->bundleIdentifier ? *app->bundleIdentifier
                                                            : "process " + std::to_string(pid);
    for (const std::string& reason : reasons)
        m_log.write("Halvo: Did not move " + name + "'s windows to " + target.name + ": " + reason);
}

WindowMovementService::Result
WindowMovementService::performMove(WindowControl& windowControl, ProcessID pid,
                                   const std::vector<Rect>& screenAreas, const Rect& target,
                                   std::vector<std::string>* why) {
    if (screenAreas.empty()) {
        note(why, "no screen is known");
        return refused;
    }
    const std::optional<AppWindows> app = windowControl.windows(pid);
    if (!app || app->windows.empty()) {
        note(why, app ? "it has no windows" : "its windows could not be read");
        return refused;
    }

    Result result;
    std::vector<WindowID> sent;
    for (const WindowInfo& window : app->windows) {
        const Rect& frame = window.frame;
        const std::string name = named(window.id);
        const char* skip = window.kind == WindowInfo::Kind::desktop ? " is part of the desktop"
                           : frame.isEmpty()                        ? " is not on screen"
                           : window.fullScreen                      ? " is in full screen"
                                                                    : nullptr;
        if (skip || !AppActivator::isWindow(window)) {
            note(why, name + (skip ? skip : " is not a window"));
            ++result.skipped;
            continue;
        }
        const Rect source = sourceArea(frame, screenAreas);
        if (source == target) {
            note(why, name + " is already there");
            ++result.unchanged;
            continue;
        }
        if (!window.canMove) {
            note(why, name + ": the window manager does not let it move");
            ++result.skipped;
            continue;
        }
        Rect next = targetFrame(frame, source, target);
        if (!window.canResize) {
            next.width = frame.width;
            next.height = frame.height;
        }
        const WindowResult sentResult = windowControl.setFrame(window, next);
        if (sentResult == WindowResult::ok) {
            sent.push_back(window.id);
        } else {
            note(why, name + ": " + refusalReason(sentResult));
            ++result.skipped;
        }
    }
    if (sent.empty())
        return result;

    // One read confirms every window: its origin must lie within the target area grown by the
    // slack on every side.
    const std::optional<AppWindows> landed = windowControl.windows(pid);
    const Rect accepted = target.insetBy(-confirmationSlack);
    for (WindowID id : sent) {
        const WindowInfo* window = landed ? landed->find(id) : nullptr;
        if (window && !window->frame.isEmpty() && accepted.contains(window->frame.origin())) {
            ++result.moved;
            continue;
        }
        ++result.skipped;
        if (!window || window->frame.isEmpty()) {
            note(why, named(id) + (window ? " was hidden" : " closed") + " during the move");
        } else {
            note(why, named(id) + " did not arrive: the window manager put it at " +
                          std::to_string(std::lround(window->frame.x)) + ", " +
                          std::to_string(std::lround(window->frame.y)));
        }
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
