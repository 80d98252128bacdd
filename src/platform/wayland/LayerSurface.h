// One surface in the overlay layer of an output, anchored to its bottom and left edges with the
// size and margins of a LayerPlacement (in the output's logical units), drawn from shared-memory
// buffers at the output's scale. Mapped from the first
// configure until it is destroyed.
#pragma once

#include "platform/wayland/LayerPlacement.h"
#include "platform/wayland/WaylandShmBuffer.h"

#include <QImage>
#include <QRegion>
#include <QSize>
#include <functional>
#include <memory>
#include <vector>

struct wl_callback;
struct wl_callback_listener;
struct wl_surface;
struct zwlr_layer_surface_v1;
struct zwlr_layer_surface_v1_listener;

namespace halvo {

class WaylandConnection;

class LayerSurface {
public:
    // Makes the surface on the output `placement` names (the compositor's choice when there is
    // none of that name) and commits it without content; the compositor answers with configure,
    // after which `paint` is asked for the first frame. A keyboard-exclusive surface takes the
    // keyboard from the focused window for as long as it exists; otherwise it never has it.
    // `role` (a literal: it is kept) is the layer namespace the compositor's rules may name.
    LayerSurface(WaylandConnection& connection, const LayerPlacement& placement,
                 bool keyboardExclusive, std::function<void(QImage&)> paint,
                 const char* role = "halvo-overlay");
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    // New size and margins on the same output (a surface cannot change outputs).
    void place(const LayerPlacement& placement);
    const LayerPlacement& placement() const { return m_placement; }

    // Where the surface takes pointer events (in its own coordinates); elsewhere they go to what
    // is below. Applies with the next frame, so that it always matches what is drawn.
    void setInputRegion(const QRegion& region);

    // Asks for a new frame: `paint` runs when the compositor is ready for one, at most once per
    // frame the compositor shows.
    void update();

    wl_surface* surface() const { return m_surface; }
    // The size the compositor configured, empty before the first configure.
    QSize size() const { return m_size; }
    // Device pixels per unit of size in the last frame: the output's scale, so that the surface
    // has the same size on every output and is drawn sharp on a HiDPI one.
    int bufferScale() const { return m_scale; }
    // How many frames with content were committed.
    int framesCommitted() const { return m_framesCommitted; }
    // The compositor took the surface away (its output went): only destroying it is left.
    bool isClosed() const { return m_closed; }

private:
    void draw();
    WaylandShmBuffer* freeBuffer(QSize pixels);

    static void configure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial,
                          uint32_t width, uint32_t height);
    static void closed(void* data, zwlr_layer_surface_v1* surface);
    static void frameDone(void* data, wl_callback* callback, uint32_t time);
    static const zwlr_layer_surface_v1_listener s_listener;
    static const wl_callback_listener s_frameListener;

    WaylandConnection& m_connection;
    LayerPlacement m_placement;
    std::function<void(QImage&)> m_paint;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layerSurface = nullptr;
    wl_callback* m_frame = nullptr;
    std::vector<std::unique_ptr<WaylandShmBuffer>> m_buffers;
    QSize m_size;
    int m_scale = 1;
    bool m_dirty = true;
    bool m_closed = false;
    const char* m_role;
    int m_framesCommitted = 0;
};

} // namespace halvo
