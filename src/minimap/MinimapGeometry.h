// The overlay's geometry and motion as pure functions over plain numbers, in points: panel frame,
// strip and viewport, paging and scroll targets, name-bubble placement, spring and wiggle curves.
#pragma once

#include "platform/Geometry.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace halvo::minimap {

inline constexpr double cellWidth = 72;
inline constexpr double iconSize = 52;
inline constexpr double panelHeight = 148;
inline constexpr double panelMinWidth = 280;
// Strip paddings and margins around the cells; also the panel's margin inside the visible frame.
inline constexpr double panelMargin = 48;
inline constexpr double panelBottomOffset = 20;

inline constexpr double viewPadding = 12;
inline constexpr double bubbleRoom = 40;
inline constexpr double stripHeight = 84; // 148 - 12 - 12 - 40
inline constexpr double stripCornerRadius = 20;
inline constexpr double contentPadding = 8;
inline constexpr double pagingButtonWidth = 28;
inline constexpr double pagingButtonHeight = 64;
inline constexpr double cellHeight = 66; // icon box 60 + spacing 3 + dot 3
inline constexpr double iconBoxHeight = 60;
inline constexpr double dotSize = 3;
inline constexpr double cellSpacing = 3;

inline constexpr double bubbleHeight = 34;
inline constexpr double bubbleMaxWidth = 260;
inline constexpr double bubbleEdge = 12;
inline constexpr double bubbleTipHalfWidth = 6;
inline constexpr double bubbleTipHeight = 6;
inline constexpr double bubbleCentreAboveCell = 27;

// Panel width for n apps on a visible frame `visibleWidth` wide: 72 per app plus 48, at least
// 280, at most the visible width less 48, never below 1.
double panelWidth(double visibleWidth, std::size_t appCount);

// The panel's frame: centred on the visible frame, its bottom 20 above the visible frame's bottom,
// 148 high.
Rect panelFrame(const Rect& visibleFrame, std::size_t appCount);

struct StripLayout {
    double stripWidth = 0;   // W: the panel less 12 on either side
    double contentWidth = 0; // 72 per app plus 8 on either side
    bool overflow = false;   // content strictly wider than the strip: paging buttons shown
    double viewportWidth = 0;
    double viewportX = 0; // the viewport's left edge inside the strip
};

// Strip, overflow and viewport of a panel `panelWidth` wide showing n apps.
StripLayout stripLayout(double panelWidth, std::size_t appCount);

// Horizontal extent of a cell in the viewport's space.
struct Span {
    double minX = 0;
    double maxX = 0;
    bool operator==(const Span&) const = default;
};

// Where the content row starts in the viewport's space for a scroll offset: content narrower
// than the viewport is centred and does not scroll.
double contentOrigin(double contentWidth, double viewportWidth, double scrollOffset);

// Cell i's extent in the viewport's space.
Span cellSpan(std::size_t index, double contentWidth, double viewportWidth, double scrollOffset);

// Scroll offsets are clamped to 0...max(contentWidth - viewportWidth, 0).
double clampScrollOffset(double offset, double contentWidth, double viewportWidth);
// The offset that puts cell i's centre at the viewport's centre (as near as the ends allow).
double scrollOffsetCentring(std::size_t index, double contentWidth, double viewportWidth);
// The offset that puts cell i's leading edge at the viewport's leading edge (as near as allowed).
double scrollOffsetLeading(std::size_t index, double contentWidth, double viewportWidth);

enum class PagingDirection { left, right };

// The index a paging button scrolls to, from each app's cell extent in the viewport's space (none
// for an app without a measured cell). None when the button has nothing to show: no apps, no
// measured cells, or the row's end on that side is already within 1 point of the viewport's
// edge. The step is one less than the number of whole cells the viewport holds, at least 1.
std::optional<std::size_t> pagingTarget(PagingDirection direction,
                                        const std::vector<std::optional<Span>>& cells,
                                        double viewportWidth);

struct BubblePlacement {
    double width = 0;     // the name plus 12 on each side, at most 260 and the overlay less 24
    double centreX = 0;   // follows the icon but stays 12 inside the overlay's edges
    double tipX = 0;      // from the bubble's left edge, at least 12 from either end
    bool visible = false; // false once the icon's centre is within 12 of the overlay's edge
};

// The name bubble over an icon whose centre is at `iconMidX` in an overlay `overlayWidth` wide,
// for a name `textWidth` wide.
BubblePlacement bubblePlacement(double overlayWidth, double iconMidX, double textWidth);

// Progress (0 at rest, 1 at the target, overshooting a little) of a damped spring `seconds` after
// it was released. `response` is the undamped period; `dampingFraction` below 1 overshoots.
double springProgress(double seconds, double response = 0.28, double dampingFraction = 0.82);

// How long springProgress takes to settle within 0.1 % of the target.
double springSettlingTime(double response = 0.28, double dampingFraction = 0.82);

// Rotation in degrees of a dragged icon `seconds` into any clock: rocks +-2.4 with period 2pi/36.
double wiggleAngle(double seconds);

} // namespace halvo::minimap
