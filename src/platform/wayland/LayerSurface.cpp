// A layer surface's life: commit without a buffer, acknowledge each configure, then paint into a
// free buffer only when the last frame has been shown (frame callbacks), so animations draw at
// the compositor's pace and nothing is drawn that would never be seen.
#include "platform/wayland/LayerSurface.h"

#include "platform/linux/LatencyTrace.h"
#include "platform/wayland/WaylandConnection.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace halvo {
namespace {

constexpr uint32_t bottomLeft =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT;
// One buffer on screen, one being painted, and one the compositor may not have released yet.
constexpr size_t bufferCount = 3;

} // namespace

const zwlr_layer_surface_v1_listener LayerSurface::s_listener = {
    .configure = &LayerSurface::configure,
    .closed = &LayerSurface::closed,
};

const wl_callback_listener LayerSurface::s_frameListener = {.done = &LayerSurface::frameDone};

LayerSurface::LayerSurface(WaylandConnection& connection, const LayerPlacement& placement,
                           bool keyboardExclusive, std::function<void(QImage&)> paint,
                           const char* role)
    : m_connection(connection), m_placement(placement), m_paint(std::move(paint)), m_role(role) {
    LatencyTrace::mark(m_role, "created");
    m_surface = wl_compositor_create_surface(connection.compositor());
    m_layerSurface = zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), m_surface,
                                                           connection.output(placement.outputName),
                                                           ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, role);
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &s_listener, this);
    zwlr_layer_surface_v1_set_anchor(m_layerSurface, bottomLeft);
    // Neither moved by panels' reserved room nor reserving any: the margins count from the
    // output's edges, as the placement's do.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        m_layerSurface, keyboardExclusive ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                                          : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    place(placement);
}

LayerSurface::~LayerSurface() {
    m_connection.removePointerHandler(m_surface);
    if (m_frame)
        wl_callback_destroy(m_frame);
    zwlr_layer_surface_v1_destroy(m_layerSurface);
    wl_surface_destroy(m_surface);
    m_buffers.clear();
    m_connection.flush();
}

void LayerSurface::place(const LayerPlacement& placement) {
    m_placement = placement;
    zwlr_layer_surface_v1_set_size(m_layerSurface, static_cast<uint32_t>(placement.width),
                                   static_cast<uint32_t>(placement.height));
    zwlr_layer_surface_v1_set_margin(m_layerSurface, 0, 0, placement.bottomMargin,
                                     placement.leftMargin);
    // Without a buffer: the compositor answers with a configure for the new size.
    wl_surface_commit(m_surface);
    m_connection.flush();
}

void LayerSurface::setInputRegion(const QRegion& region) {
    wl_region* input = wl_compositor_create_region(m_connection.compositor());
    for (const QRect& rect : region)
        wl_region_add(input, rect.x(), rect.y(), rect.width(), rect.height());
    wl_surface_set_input_region(m_surface, input);
    wl_region_destroy(input);
}

void LayerSurface::update() {
    m_dirty = true;
    draw();
}

void LayerSurface::configure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial,
                             uint32_t width, uint32_t height) {
    auto* self = static_cast<LayerSurface*>(data);
    LatencyTrace::mark(self->m_role, "configure");
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    const QSize size(width ? static_cast<int>(width) : self->m_placement.width,
                     height ? static_cast<int>(height) : self->m_placement.height);
    // sway configures the surface again whenever it arranges the layers (each time a layer
    // surface of the output commits): when the size and the output's scale stay, the content
    // committed already fits, and a commit without a buffer answers without painting again.
    const bool fits = size == self->m_size &&
                      self->m_connection.outputScale(self->m_placement.outputName) == self->m_scale;
    if (fits && self->m_framesCommitted > 0) {
        wl_surface_commit(self->m_surface);
        self->m_connection.flush();
        self->draw(); // a frame still owed, if no buffer was free for it
        return;
    }
    std::erase_if(self->m_buffers, [&](const auto& b) { return !b->busy(); });
    self->m_size = size;
    // Each configure of a new size needs a commit of its own, with content of that size.
    self->m_dirty = true;
    if (self->m_frame) {
        wl_callback_destroy(self->m_frame);
        self->m_frame = nullptr;
    }
    self->draw();
}

void LayerSurface::closed(void* data, zwlr_layer_surface_v1*) {
    auto* self = static_cast<LayerSurface*>(data);
    LatencyTrace::mark(self->m_role, "closed");
    self->m_closed = true;
}

void LayerSurface::frameDone(void* data, wl_callback* callback, uint32_t) {
    auto* self = static_cast<LayerSurface*>(data);
    wl_callback_destroy(callback);
    self->m_frame = nullptr;
    self->draw();
}

WaylandShmBuffer* LayerSurface::freeBuffer(QSize pixels) {
    for (const auto& buffer : m_buffers) {
        if (!buffer->busy() && buffer->size() == pixels)
            return buffer.get();
    }
    std::erase_if(m_buffers, [&](const auto& b) { return !b->busy() && b->size() != pixels; });
    if (m_buffers.size() >= bufferCount)
        return nullptr;
    auto buffer = std::make_unique<WaylandShmBuffer>(m_connection.shm(), pixels);
    if (!buffer->ok())
        return nullptr;
    m_buffers.push_back(std::move(buffer));
    return m_buffers.back().get();
}

void LayerSurface::draw() {
    if (!m_dirty || m_size.isEmpty() || m_frame || m_closed)
        return;
    // Read at each frame: the output's scale may change while the surface is shown.
    const int scale = m_connection.outputScale(m_placement.outputName);
    WaylandShmBuffer* buffer = freeBuffer(m_size * scale);
    if (!buffer)
        return; // both buffers are with the compositor: the next frame callback draws
    m_dirty = false;
    m_scale = scale;
    QImage& image = buffer->image();
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    m_paint(image);
    wl_surface_set_buffer_scale(m_surface, scale);
    wl_surface_attach(m_surface, buffer->attach(), 0, 0);
    wl_surface_damage(m_surface, 0, 0, m_size.width(), m_size.height());
    m_frame = wl_surface_frame(m_surface);
    wl_callback_add_listener(m_frame, &s_frameListener, this);
    wl_surface_commit(m_surface);
    m_connection.flush();
    LatencyTrace::mark(m_role, m_framesCommitted++ == 0 ? "first-frame" : "frame");
}

} // namespace halvo
