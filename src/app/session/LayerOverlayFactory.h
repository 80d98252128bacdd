// The overlay of the sessions whose compositor offers the layer shell (sway, KWin): Halvo's
// view rendered off screen and shown on a layer surface whose input region is the view's shape.
#pragma once

#include "minimap/MinimapPanelController.h"

namespace halvo {

class Screens;
class WaylandConnection;

MinimapPanelController::PanelFactory layerOverlayFactory(WaylandConnection& wayland,
                                                         const Screens& screens);

} // namespace halvo
