// The root window's pixels in a rectangle, read through shared memory (MIT-SHM) when the X server
// is on this machine, so that the image does not travel through the socket, else with GetImage.
#pragma once

#include <QImage>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <xcb/xcb.h>

namespace halvo {

class RootPixels {
public:
    // Reads from the root of `connection`'s first screen; shared memory is tried at the first
    // read and given up for good when the server cannot attach it.
    explicit RootPixels(xcb_connection_t* connection);
    ~RootPixels();
    RootPixels(const RootPixels&) = delete;
    RootPixels& operator=(const RootPixels&) = delete;

    // The pixels of `area` (which must lie inside the root) as 32-bit RGB, or a null image when
    // the root's depth is below 24 or the read failed. Read through shared memory, the image
    // points into the segment and holds only until the next read.
    QImage read(QRect area);
    // Whether the last read came through shared memory; for tests.
    bool sharedMemoryUsed() const { return m_lastShared; }

private:
    // A segment of at least `bytes` attached on both sides; false when the server refuses it.
    bool attach(std::size_t bytes);
    void detach();
    QImage readShared(QRect area);
    QImage readThroughSocket(QRect area);

    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    bool m_sharedMemory = true; // not given up yet
    bool m_lastShared = false;
    std::uint32_t m_segment = 0;
    void* m_memory = nullptr;
    std::size_t m_bytes = 0;
};

} // namespace halvo
