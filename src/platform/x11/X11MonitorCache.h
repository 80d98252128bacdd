// The RandR monitors kept between reads until the server says they may have changed, so that
// showing the overlay asks for them at most once and usually not at all.
#pragma once

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Monitors.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace halvo {

class X11MonitorCache {
public:
    using Monitors = std::vector<X11Monitors::Monitor>;

    // Construct on the thread that dispatches the connection's events: from then on every RandR
    // screen, CRTC and output change and every ConfigureNotify of the root (the server's report of
    // monitors that clients define or delete, such as `xrandr --setmonitor`) drops the kept list.
    explicit X11MonitorCache(X11Connection& connection);
    ~X11MonitorCache();
    X11MonitorCache(const X11MonitorCache&) = delete;
    X11MonitorCache& operator=(const X11MonitorCache&) = delete;

    // A read in two halves, so callers can batch it with other requests. On the constructing
    // thread the events the server has sent so far are taken in first and the kept list, when
    // none of them dropped it, is the answer without a request; other threads always ask.
    struct Read {
        std::optional<Monitors> kept;
        xcb_randr_get_monitors_cookie_t cookie{};
        std::uint64_t changes = 0;
    };
    Read request();
    // The root window's size as of the events taken in so far. The size in the connection's
    // setup data is the one at connection time, stale once RandR resizes the screen.
    Size rootSize() const { return {double(m_rootWidth.load()), double(m_rootHeight.load())}; }
    Monitors receive(const Read& read);
    Monitors read() { return receive(request()); }

    // How many times the server was asked; for tests and probes.
    std::size_t fetches() const { return m_fetches; }

private:
    void note(const xcb_generic_event_t& event);
    bool onOwnThread() const { return std::this_thread::get_id() == m_thread; }

    X11Connection& m_connection;
    std::thread::id m_thread = std::this_thread::get_id();
    X11Connection::ListenerID m_note = 0;
    std::uint8_t m_randrFirstEvent = 0;
    bool m_randr = false;
    std::optional<Monitors> m_kept;
    // Counts the events that dropped the list: a reply that a change may have overtaken is used
    // once but not kept.
    std::uint64_t m_changes = 0;
    std::atomic<std::size_t> m_fetches = 0;
    std::atomic<std::uint16_t> m_rootWidth;
    std::atomic<std::uint16_t> m_rootHeight;
};

} // namespace halvo
