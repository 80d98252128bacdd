// Root window pixels through MIT-SHM, or GetImage when the server shares no memory with us.
#include "minimap/view/RootPixels.h"

#include <cstdlib>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

namespace halvo {

RootPixels::RootPixels(xcb_connection_t* connection)
    : m_connection(connection),
      m_screen(connection ? xcb_setup_roots_iterator(xcb_get_setup(connection)).data : nullptr) {
    if (!m_connection || !m_screen)
        m_sharedMemory = false;
}

RootPixels::~RootPixels() {
    // Only our side: the connection may be closed already, and the server drops the segment
    // with the connection anyway.
    if (m_memory)
        shmdt(m_memory);
}

QImage RootPixels::read(QRect area) {
    m_lastShared = false;
    if (!m_screen || area.isEmpty() || m_screen->root_depth < 24)
        return {};
    if (m_sharedMemory) {
        QImage image = readShared(area);
        if (!image.isNull()) {
            m_lastShared = true;
            return image;
        }
    }
    return readThroughSocket(area);
}

QImage RootPixels::readShared(QRect area) {
    const std::size_t bytes = std::size_t(area.width()) * std::size_t(area.height()) * 4;
    if (bytes > m_bytes && !attach(bytes)) {
        m_sharedMemory = false;
        return {};
    }
    xcb_generic_error_t* error = nullptr;
    xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(
        m_connection,
        xcb_shm_get_image(m_connection, m_screen->root, static_cast<int16_t>(area.x()),
                          static_cast<int16_t>(area.y()), static_cast<uint16_t>(area.width()),
                          static_cast<uint16_t>(area.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          m_segment, 0),
        &error);
    free(error);
    const bool whole = reply && reply->size >= bytes;
    free(reply);
    if (!whole)
        return {};
    return QImage(static_cast<const uchar*>(m_memory), area.width(), area.height(),
                  area.width() * 4, QImage::Format_RGB32);
}

QImage RootPixels::readThroughSocket(QRect area) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root,
                      static_cast<int16_t>(area.x()), static_cast<int16_t>(area.y()),
                      static_cast<uint16_t>(area.width()), static_cast<uint16_t>(area.height()),
                      ~0u),
        nullptr);
    if (!reply)
        return {};
    QImage result;
    if (xcb_get_image_data_length(reply) >= area.width() * area.height() * 4)
        result = QImage(xcb_get_image_data(reply), area.width(), area.height(), area.width() * 4,
                        QImage::Format_RGB32)
                     .copy();
    free(reply);
    return result;
}

bool RootPixels::attach(std::size_t bytes) {
    detach();
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(m_connection, &xcb_shm_id);
    if (!shm || !shm->present)
        return false;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* memory = shmat(id, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(m_connection);
    // A server on another machine cannot attach the segment: the check says so once.
    xcb_generic_error_t* error = xcb_request_check(
        m_connection, xcb_shm_attach_checked(m_connection, segment, static_cast<uint32_t>(id), 0));
    // Attached on both sides (or refused), the segment is marked for removal: it goes away with
    // the last detach, even if the program is killed.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        free(error);
        shmdt(memory);
        return false;
    }
    m_segment = segment;
    m_memory = memory;
    m_bytes = bytes;
    return true;
}

void RootPixels::detach() {
    if (!m_memory)
        return;
    xcb_shm_detach(m_connection, m_segment);
    xcb_flush(m_connection);
    shmdt(m_memory);
    m_memory = nullptr;
    m_bytes = 0;
}

} // namespace halvo
