// A test device's own connection to a Wayland compositor: the compositor's first seat and the
// manager global that makes the device (virtual keyboards or virtual pointers), bound in one
// round trip.
#pragma once

#include <cstdint>
#include <string>

struct wl_display;
struct wl_interface;
struct wl_seat;

namespace halvo::test {

class SwaySeatClient {
public:
    // Connects to `waylandDisplay` (a socket name or an absolute path) and binds version 1 of
    // `manager`; `device` names what it makes, for the error.
    SwaySeatClient(const std::string& waylandDisplay, const wl_interface& manager,
                   const std::string& device);
    // The device and its manager are destroyed before.
    ~SwaySeatClient();
    SwaySeatClient(const SwaySeatClient&) = delete;
    SwaySeatClient& operator=(const SwaySeatClient&) = delete;

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    void fail(const std::string& error) { m_error = error; }

    wl_seat* seat() const { return m_seat; }
    // The bound manager, of the interface given; null when the compositor offers none.
    void* manager() const { return m_manager; }

    // Waits until the compositor has processed every request sent; false (with error() set)
    // when the connection failed.
    bool roundtrip();

    // The time stamp input events carry: milliseconds of the monotonic clock.
    static std::uint32_t milliseconds();

private:
    wl_display* m_display = nullptr;
    wl_seat* m_seat = nullptr;
    void* m_manager = nullptr;
    std::string m_error;
};

} // namespace halvo::test
