// The view's damage asks the layer surface for a frame; the surface paints it when the compositor
// is ready for one.
#include "platform/wayland/LayerOverlayPanel.h"

namespace halvo {

LayerOverlayPanel::LayerOverlayPanel(WaylandConnection& connection, const Screens& screens,
                                     std::unique_ptr<QWidget> content, InputRegion inputRegion)
    : m_connection(connection), m_screens(screens), m_view(std::move(content)),
      m_inputRegion(std::move(inputRegion)) {
    m_view.resize(QSize(static_cast<int>(m_frame.width), static_cast<int>(m_frame.height)));
    m_view.onDamage([this] {
        if (m_surface)
            m_surface->update();
    });
}

LayerOverlayPanel::~LayerOverlayPanel() {
    m_surface.reset();
}

void LayerOverlayPanel::setFrame(Rect frame) {
    m_frame = frame;
    m_placement = LayerPlacement::forFrame(frame, m_screens.screens());
    m_view.resize(QSize(m_placement ? m_placement->width : static_cast<int>(frame.width),
                        m_placement ? m_placement->height : static_cast<int>(frame.height)));
    if (!m_surface)
        return;
    // A layer surface stays on the output it was made for.
    if (!m_placement || m_placement->outputName != m_surface->placement().outputName) {
        createSurface();
        return;
    }
    m_surface->place(*m_placement);
}

void LayerOverlayPanel::orderFront() {
    if (m_surface && !m_surface->isClosed())
        return;
    m_view.show();
    createSurface();
}

void LayerOverlayPanel::orderOut() {
    m_surface.reset();
    m_view.hide();
}

void LayerOverlayPanel::setAppearance(Theme) {
    // The view reads the theme from the overlay's model; the panel only repaints it.
    m_view.content()->update();
}

void LayerOverlayPanel::createSurface() {
    m_surface.reset();
    if (!m_connection.ok())
        return;
    // Without a screen under the frame the compositor picks the output (its focused one).
    const QSize size = m_view.size();
    const LayerPlacement placement =
        m_placement.value_or(LayerPlacement{{}, size.width(), size.height(), 0, 0});
    m_surface = std::make_unique<LayerSurface>(m_connection, placement, /*keyboardExclusive=*/false,
                                               [this](QImage& image) { paint(image); });
    m_connection.setPointerHandler(m_surface->surface(),
                                   [this](const PointerEvent& event) { m_view.deliver(event); });
}

void LayerOverlayPanel::paint(QImage& image) {
    // The shadow and the rounded corners' transparent margins let clicks through to the windows
    // below; the region goes with the frame it belongs to.
    if (m_inputRegion)
        m_surface->setInputRegion(m_inputRegion());
    m_view.render(image);
}

} // namespace halvo
