// The overlay's panel where the compositor offers the layer shell (sway, KWin): a layer surface on
// the overlay layer of the output under the frame, showing the frames of an off-screen view
// (OffscreenView: the hosted view's own paint code, its damage and its pointer events) and handing
// the surface's pointer events back to it. The overlay never takes the keyboard: while a shortcut
// is held LayerKeyboardMonitor's own surface has it, so the overlay comes and goes without moving
// it.
#pragma once

#include "platform/Panel.h"
#include "platform/Screens.h"
#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/OffscreenView.h"
#include "platform/wayland/WaylandConnection.h"

#include <QRegion>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace halvo {

class LayerOverlayPanel final : public Panel {
public:
    // Hosts `content` (and owns it from now on). Frames are placed on the screens `screens`
    // reports; a screen's name is its output's. `inputRegion` is the part of the content that
    // takes the pointer (asked again with each frame); without it the whole frame does.
    using InputRegion = std::function<QRegion()>;
    LayerOverlayPanel(WaylandConnection& connection, const Screens& screens,
                      std::unique_ptr<QWidget> content, InputRegion inputRegion = {});
    ~LayerOverlayPanel() override;

    void setFrame(Rect frame) override;
    Rect frame() const override { return m_frame; }
    void orderFront() override;
    void orderOut() override;
    void setAppearance(Theme theme) override;

    QWidget* content() const { return m_view.content(); }
    // The surface while the panel is ordered front, null otherwise.
    const LayerSurface* surface() const { return m_surface.get(); }

private:
    void createSurface();
    void paint(QImage& image);

    WaylandConnection& m_connection;
    const Screens& m_screens;
    OffscreenView m_view;
    InputRegion m_inputRegion;
    std::unique_ptr<LayerSurface> m_surface;
    std::optional<LayerPlacement> m_placement;
    Rect m_frame{0, 0, 480, 148};
};

} // namespace halvo
