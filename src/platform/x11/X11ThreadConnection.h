// The X connection for the calling thread: the main connection on the main thread, a second one
// for every other thread. A worker waiting for a reply on the main connection reads whatever
// events arrive meanwhile into xcb's queue, where the main loop's socket notifier never sees
// them (a modifier release during a move would wait for the next wake-up). The second
// connection selects no events, so workers leave the main connection's events alone.
#pragma once

#include "platform/x11/X11Connection.h"

#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace halvo {

class X11ThreadConnection {
public:
    // Construct on the main thread. The second connection is opened on first use by another
    // thread and closed with this object; workers must be done by then.
    explicit X11ThreadConnection(X11Connection& main);

    // The connection for this thread. Should the second connection fail to open, workers use
    // the main one, as they would without this.
    X11Connection& get();
    operator X11Connection&() { return get(); }

    // The calls the window code makes, on this thread's connection.
    xcb_connection_t* xcb() { return get().xcb(); }
    xcb_window_t root() { return m_main.root(); }
    xcb_atom_t atom(std::string_view name) { return get().atom(name); }
    xcb_timestamp_t serverTime() { return get().serverTime(); }
    void flush() { get().flush(); }
    void sendToRoot(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1 = 0,
                    std::uint32_t d2 = 0, std::uint32_t d3 = 0, std::uint32_t d4 = 0) {
        get().sendToRoot(window, type, d0, d1, d2, d3, d4);
    }

private:
    X11Connection& m_main;
    std::thread::id m_mainThread;
    std::once_flag m_opened;
    std::unique_ptr<X11Connection> m_worker;
};

} // namespace halvo
