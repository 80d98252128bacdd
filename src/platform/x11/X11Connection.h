// Halvo's own connection to the X server: interned atoms, EWMH, and event dispatch to listeners on
// the main thread. xcb connections are thread-safe, so workers may send requests on it too.
#pragma once

#include "platform/x11/X11ServerClock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace halvo {

class X11ClientProperties;

class X11Connection {
public:
    using Listener = std::function<void(const xcb_generic_event_t& event)>;
    using ListenerID = std::uint64_t;

    // Connects to `display` (the DISPLAY variable when null). Nothing, with `error` set to a
    // sentence a user can act on, when no X server can be reached.
    static std::unique_ptr<X11Connection> open(const char* display, std::string& error);
    // Another connection to the same display; nothing, with `error` set, when it cannot be made.
    std::unique_ptr<X11Connection> openAnother(std::string& error) const;

    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return m_connection; }
    xcb_ewmh_connection_t* ewmh() { return &m_ewmh; }
    xcb_screen_t* screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen->root; }
    int screenNumber() const { return m_screenNumber; }
    int fileDescriptor() const { return xcb_get_file_descriptor(m_connection); }

    // The atom with that name, interned once and cached. Safe from any thread.
    xcb_atom_t atom(std::string_view name);

    // Listeners see every event and error (response_type 0) read from the connection, on the
    // thread that calls dispatchPending(). A listener may add or remove listeners.
    ListenerID addListener(Listener listener);
    void removeListener(ListenerID id);

    // Reads every event already received or queued and hands each to the listeners. Returns false
    // once the connection has failed (the server went away).
    bool dispatchPending();

    // Sends an EWMH client message about `window` to the root, where the window manager listens.
    // The request is checked, so an error never reaches the event queue; nobody waits for it.
    void sendToRoot(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1 = 0,
                    std::uint32_t d2 = 0, std::uint32_t d3 = 0, std::uint32_t d4 = 0);

    bool hasError() const { return xcb_connection_has_error(m_connection) != 0; }
    void flush() { xcb_flush(m_connection); }

    // A server timestamp for requests that need one: the time of a property change on a window
    // of our own, read back through the event it causes.
    xcb_timestamp_t serverTime();
    // The server's clock as learnt from the times of the events read so far.
    const X11ServerClock& serverClock() const { return m_serverClock; }

    // From now on, client-list reads on the calling thread keep what they read of each window
    // (X11ClientProperties) and drop it as this connection takes in property changes. Only for
    // the thread that dispatches this connection's events.
    void keepClientProperties();
    // The kept values, or null on another thread or when nothing is kept.
    X11ClientProperties* clientProperties();
    // Moves the events xcb has already read into the queue dispatchPending() delivers, noting
    // each in the kept values: after a reply has been read, what they hold is as current as it.
    void takeQueuedEvents();
    // The same for every event the server has sent so far, without waiting for more.
    void takeAvailableEvents();

    // Notes see every event as it leaves xcb's queue, before dispatchPending() delivers it, on
    // the thread that takes it: for answers kept until an event says they changed. A note may
    // not add or remove notes.
    ListenerID addNote(Listener note);
    void removeNote(ListenerID id);

private:
    X11Connection(xcb_connection_t* connection, int screenNumber);

    xcb_connection_t* m_connection = nullptr;
    std::string m_display; // as given to open(); empty for the DISPLAY variable
    xcb_ewmh_connection_t m_ewmh{};
    xcb_screen_t* m_screen = nullptr;
    int m_screenNumber = 0;
    xcb_window_t m_timeWindow = XCB_NONE;
    X11ServerClock m_serverClock;

    std::mutex m_atomMutex;
    std::unordered_map<std::string, xcb_atom_t> m_atoms;

    ListenerID m_nextListenerID = 1;
    std::map<ListenerID, std::shared_ptr<Listener>> m_listeners;
    // Events read while waiting for a server timestamp, delivered by the next dispatchPending().
    std::deque<xcb_generic_event_t*> m_deferred;

    std::map<ListenerID, Listener> m_notes;
    std::unique_ptr<X11ClientProperties> m_clientProperties;
    std::thread::id m_clientPropertiesThread;
    // Every event goes through here as it leaves xcb's queue.
    xcb_generic_event_t* noted(xcb_generic_event_t* event);
    void observeTime(const xcb_generic_event_t& event);
};

} // namespace halvo
