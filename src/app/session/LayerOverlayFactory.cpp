// The factory of LayerOverlayFactory.h.
#include "app/session/LayerOverlayFactory.h"

#include "minimap/view/MinimapOverlayView.h"
#include "platform/wayland/LayerOverlayPanel.h"

namespace halvo {

MinimapPanelController::PanelFactory layerOverlayFactory(WaylandConnection& wayland,
                                                         const Screens& screens) {
    return [&wayland, &screens](MinimapModel& model,
                                MinimapActions actions) -> std::unique_ptr<Panel> {
        auto view = std::make_unique<MinimapOverlayView>(model, std::move(actions));
        const MinimapOverlayView* shape = view.get();
        return std::make_unique<LayerOverlayPanel>(wayland, screens, std::move(view),
                                                   [shape] { return shape->surfaceRegion(); });
    };
}

} // namespace halvo
