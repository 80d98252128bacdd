// A pointer device for tests on a Wayland compositor (headless sway has none): moves to points
// of the output layout and presses buttons, through the wlroots virtual-pointer protocol.
#pragma once

#include "support/sway/SwaySeatClient.h"

#include <string>

struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace halvo::test {

class SwayVirtualPointer {
public:
    // Connects to `waylandDisplay` and adds a pointer to the compositor's first seat. Absolute
    // positions are pixels of a layout `layoutWidth` x `layoutHeight` with its origin at 0, 0.
    SwayVirtualPointer(const std::string& waylandDisplay, int layoutWidth, int layoutHeight);
    ~SwayVirtualPointer();
    SwayVirtualPointer(const SwayVirtualPointer&) = delete;
    SwayVirtualPointer& operator=(const SwayVirtualPointer&) = delete;

    bool ok() const { return m_client.ok(); }
    const std::string& error() const { return m_client.error(); }

    // Each call returns once the compositor has processed it.
    bool moveTo(int x, int y);
    bool press(); // the left button
    bool release();
    bool click() { return press() && release(); }

private:
    bool button(bool down);

    SwaySeatClient m_client;
    zwlr_virtual_pointer_manager_v1* m_manager = nullptr;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    int m_width;
    int m_height;
};

} // namespace halvo::test
