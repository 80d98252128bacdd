// Shared memory from memfd_create, one pool per buffer (the overlay needs two at most).
#include "platform/wayland/WaylandShmBuffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace halvo {

const wl_buffer_listener WaylandShmBuffer::s_listener = {&WaylandShmBuffer::released};

WaylandShmBuffer::WaylandShmBuffer(wl_shm* shm, QSize size) {
    const int stride = size.width() * 4;
    m_length = static_cast<size_t>(stride) * static_cast<size_t>(size.height());
    if (!shm || m_length == 0)
        return;
    const int fd = memfd_create("halvo-overlay", MFD_CLOEXEC);
    if (fd < 0)
        return;
    if (ftruncate(fd, static_cast<off_t>(m_length)) == 0)
        m_memory = mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (m_memory == MAP_FAILED)
        m_memory = nullptr;
    if (m_memory) {
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(m_length));
        m_buffer = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride,
                                             WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        wl_buffer_add_listener(m_buffer, &s_listener, this);
        m_image = QImage(static_cast<uchar*>(m_memory), size.width(), size.height(), stride,
                         QImage::Format_ARGB32_Premultiplied);
    }
    close(fd);
}

WaylandShmBuffer::~WaylandShmBuffer() {
    if (m_buffer)
        wl_buffer_destroy(m_buffer);
    if (m_memory)
        munmap(m_memory, m_length);
}

wl_buffer* WaylandShmBuffer::attach() {
    m_busy = true;
    return m_buffer;
}

void WaylandShmBuffer::released(void* data, wl_buffer*) {
    static_cast<WaylandShmBuffer*>(data)->m_busy = false;
}

} // namespace halvo
