// Screen-reader access to the overlay: each icon cell is a button named after its app, valued
// "Active" when highlighted, whose press activates the app.
#pragma once

namespace halvo {

class MinimapOverlayView;

// Registers the accessibility factory for overlay views; safe to call more than once.
void installOverlayAccessibility();
// The view's list of apps changed: cells of apps that are gone are dropped.
void overlayCellsChanged(MinimapOverlayView* view);
// The view is going away: all its cells are dropped.
void forgetOverlayCells(MinimapOverlayView* view);

} // namespace halvo
