// One ARGB buffer in shared memory that a Wayland compositor reads: a QImage to paint into and
// the wl_buffer to attach, busy from attach until the compositor releases it.
#pragma once

#include <QImage>
#include <QSize>

struct wl_buffer;
struct wl_buffer_listener;
struct wl_shm;

namespace halvo {

class WaylandShmBuffer {
public:
    WaylandShmBuffer(wl_shm* shm, QSize size);
    ~WaylandShmBuffer();
    WaylandShmBuffer(const WaylandShmBuffer&) = delete;
    WaylandShmBuffer& operator=(const WaylandShmBuffer&) = delete;

    // False when the memory could not be had; the buffer is then unusable.
    bool ok() const { return m_buffer != nullptr; }
    QSize size() const { return m_image.size(); }
    // Premultiplied ARGB over the shared memory, as wl_shm's ARGB8888 lays it out.
    QImage& image() { return m_image; }

    // The compositor may read the buffer from attach until it releases it; meanwhile it must not
    // be painted.
    wl_buffer* attach();
    bool busy() const { return m_busy; }

private:
    static void released(void* data, wl_buffer* buffer);
    static const wl_buffer_listener s_listener;

    wl_buffer* m_buffer = nullptr;
    void* m_memory = nullptr;
    size_t m_length = 0;
    QImage m_image;
    bool m_busy = false;
};

} // namespace halvo
