// Window moves across screens: the preconditions on the main thread, the accessibility work on
// plain values, the placement as a pure function.
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

WindowMovementService::WindowMovementService(Accessibility& accessibility, Screens& screens,
                                             MainQueue& mainQueue, BackgroundQueue& backgroundQueue,
                                             ProcessID ownPid)
    : m_accessibility(accessibility), m_screens(screens), m_mainQueue(mainQueue),
      m_backgroundQueue(backgroundQueue), m_ownPid(ownPid) {}

void WindowMovementService::moveWindows(ProcessID pid, const Screen& target,
                                        std::function<void(Result)> completion) {
    const std::vector<Screen> screens = m_screens.screens();
    const auto current = std::find(screens.begin(), screens.end(), target);
    if (!m_accessibility.isProcessTrusted() || screens.size() < 2 || current == screens.end()) {
        m_mainQueue.post([completion = std::move(completion)] { completion(refused); });
        return;
    }
    // The target's geometry as it is now: a panel or the layout may have changed since the
    // caller took its copy of the screen.
    const double primaryMaxY = screens.front().frame.maxY();
    const Rect targetArea = toAccessibilitySpace(current->visibleFrame, primaryMaxY);
    std::vector<Rect> areas;
    areas.reserve(screens.size());
    for (const Screen& screen : screens)
        areas.push_back(toAccessibilitySpace(screen.visibleFrame, primaryMaxY));

    if (pid == m_ownPid) {
        const Result result = performMove(m_accessibility, pid, areas, targetArea);
        m_mainQueue.post([completion = std::move(completion), result] { completion(result); });
        return;
    }
    Accessibility& accessibility = m_accessibility;
    MainQueue& mainQueue = m_mainQueue;
    m_backgroundQueue.async([&accessibility, &mainQueue, pid, areas = std::move(areas), targetArea,
                             completion = std::move(completion)]() mutable {
        const Result result = performMove(accessibility, pid, areas, targetArea);
        mainQueue.post([completion = std::move(completion), result] { completion(result); });
    });
}

WindowMovementService::Result
WindowMovementService::performMove(Accessibility& accessibility, ProcessID pid,
                                   const std::vector<Rect>& screenAreas, const Rect& target) {
    if (screenAreas.empty())
        return refused;
    const AXElement application = accessibility.createApplication(pid);
    accessibility.setMessagingTimeout(application, moveMessagingTimeout);
    AXValue windowsValue;
    if (accessibility.copyAttributeValue(application, ax::windows, windowsValue) !=
            kAXErrorSuccess ||
        !std::holds_alternative<std::vector<AXElement>>(windowsValue))
        return refused;
    const auto& windows = std::get<std::vector<AXElement>>(windowsValue);
    if (windows.empty())
        return refused;

    Result result;
    for (const AXElement& window : windows) {
        accessibility.setMessagingTimeout(window, moveMessagingTimeout);
        if (!AppActivator::isWindowElement(accessibility, AXValue(window))) {
            ++result.skipped;
            continue;
        }
        AXValue fullScreen;
        if (accessibility.copyAttributeValue(window, ax::fullScreen, fullScreen) ==
                kAXErrorSuccess &&
            std::holds_alternative<bool>(fullScreen) && std::get<bool>(fullScreen)) {
            ++result.skipped;
            continue;
        }
        const std::optional<Rect> frame = readFrame(accessibility, window);
        if (!frame) {
            ++result.skipped;
            continue;
        }
        const Rect source = sourceArea(*frame, screenAreas);
        if (source == target) {
            ++result.unchanged;
            continue;
        }
        bool positionSettable = false;
        if (accessibility.isAttributeSettable(window, ax::position, positionSettable) !=
                kAXErrorSuccess ||
            !positionSettable) {
            ++result.skipped;
            continue;
        }
        const Rect next = targetFrame(*frame, source, target);
        if (next.width != frame->width || next.height != frame->height) {
            bool sizeSettable = false;
            if (accessibility.isAttributeSettable(window, ax::size, sizeSettable) ==
                    kAXErrorSuccess &&
                sizeSettable)
                accessibility.setAttributeValue(window, ax::size, AXValue(next.size()));
        }
        if (accessibility.setAttributeValue(window, ax::position, AXValue(next.origin())) !=
            kAXErrorSuccess) {
            ++result.skipped;
            continue;
        }
        const std::optional<Rect> landed = readFrame(accessibility, window);
        if (landed && target.insetBy(-confirmationSlack).contains(landed->origin()))
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

std::optional<Rect> WindowMovementService::readFrame(Accessibility& accessibility,
                                                     const AXElement& window) {
    AXValue position;
    AXValue size;
    if (accessibility.copyAttributeValue(window, ax::position, position) != kAXErrorSuccess ||
        accessibility.copyAttributeValue(window, ax::size, size) != kAXErrorSuccess ||
        !std::holds_alternative<Point>(position) || !std::holds_alternative<Size>(size))
        return std::nullopt;
    const Point origin = std::get<Point>(position);
    const Size extent = std::get<Size>(size);
    if (!(extent.width > 0) || !(extent.height > 0))
        return std::nullopt;
    return Rect{origin.x, origin.y, extent.width, extent.height};
}

Rect WindowMovementService::toAccessibilitySpace(const Rect& screenRect, double primaryMaxY) {
    return {screenRect.minX(), primaryMaxY - screenRect.maxY(), screenRect.width,
            screenRect.height};
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
