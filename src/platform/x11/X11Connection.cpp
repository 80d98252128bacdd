// Connection set-up, atom cache and event dispatch.
#include "platform/x11/X11Connection.h"

#include "platform/x11/X11ClientProperties.h"

#include <cstdlib>
#include <vector>

namespace halvo {

std::unique_ptr<X11Connection> X11Connection::open(const char* display, std::string& error) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        const char* name = display ? display : std::getenv("DISPLAY");
        error = std::string("cannot connect to the X server at DISPLAY=\"") + (name ? name : "") +
                "\". Halvo needs an X11 session (start it from your desktop, or set DISPLAY).";
        return nullptr;
    }
    std::unique_ptr<X11Connection> result(new X11Connection(connection, screenNumber));
    result->m_display = display ? display : "";
    return result;
}

std::unique_ptr<X11Connection> X11Connection::openAnother(std::string& error) const {
    return open(m_display.empty() ? nullptr : m_display.c_str(), error);
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber)
    : m_connection(connection), m_screenNumber(screenNumber) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    m_screen = it.data;

    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(connection, &m_ewmh);
    if (!xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr))
        m_ewmh = {};
}

X11Connection::~X11Connection() {
    for (xcb_generic_event_t* event : m_deferred)
        free(event);
    if (m_ewmh.connection)
        xcb_ewmh_connection_wipe(&m_ewmh);
    xcb_disconnect(m_connection);
}

xcb_atom_t X11Connection::atom(std::string_view name) {
    std::string key(name);
    {
        std::lock_guard lock(m_atomMutex);
        if (auto found = m_atoms.find(key); found != m_atoms.end())
            return found->second;
    }
    xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(key.size()), key.data());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    if (result != XCB_ATOM_NONE) {
        std::lock_guard lock(m_atomMutex);
        m_atoms.emplace(std::move(key), result);
    }
    return result;
}

X11Connection::ListenerID X11Connection::addListener(Listener listener) {
    const ListenerID id = m_nextListenerID++;
    m_listeners.emplace(id, std::make_shared<Listener>(std::move(listener)));
    return id;
}

void X11Connection::removeListener(ListenerID id) {
    m_listeners.erase(id);
}

bool X11Connection::dispatchPending() {
    for (;;) {
        xcb_generic_event_t* event = nullptr;
        if (!m_deferred.empty()) {
            event = m_deferred.front();
            m_deferred.pop_front();
        } else {
            event = noted(xcb_poll_for_event(m_connection));
        }
        if (!event)
            break;
        std::vector<std::pair<ListenerID, std::shared_ptr<Listener>>> snapshot(m_listeners.begin(),
                                                                               m_listeners.end());
        for (const auto& [id, listener] : snapshot) {
            if (m_listeners.count(id))
                (*listener)(*event);
        }
        free(event);
    }
    return !hasError();
}

void X11Connection::sendToRoot(xcb_window_t window, xcb_atom_t type, std::uint32_t d0,
                               std::uint32_t d1, std::uint32_t d2, std::uint32_t d3,
                               std::uint32_t d4) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    event.data.data32[3] = d3;
    event.data.data32[4] = d4;
    const auto cookie = xcb_send_event_checked(m_connection, 0, root(),
                                               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                                                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                               reinterpret_cast<const char*>(&event));
    xcb_discard_reply(m_connection, cookie.sequence);
    xcb_flush(m_connection);
}

xcb_timestamp_t X11Connection::serverTime() {
    if (m_timeWindow == XCB_NONE) {
        m_timeWindow = xcb_generate_id(m_connection);
        const uint32_t mask = XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
        const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_timeWindow, root(), -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, mask, values);
    }
    // A zero-length append changes nothing but still produces a PropertyNotify with the time.
    const xcb_atom_t stamp = atom("_HALVO_TIMESTAMP");
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_timeWindow, stamp, XCB_ATOM_STRING, 8,
                        0, nullptr);
    xcb_flush(m_connection);
    // Wait for our own PropertyNotify. Other events read meanwhile wait for the next
    // dispatchPending(): handing them out here would run listeners in the middle of whatever
    // asked for the time.
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    while (xcb_generic_event_t* event = xcb_wait_for_event(m_connection)) {
        const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            notify->window == m_timeWindow && notify->atom == stamp) {
            time = notify->time;
            m_serverClock.observe(time, X11ServerClock::steadyMilliseconds());
            free(event);
            break;
        }
        m_deferred.push_back(noted(event));
    }
    return time;
}

void X11Connection::keepClientProperties() {
    if (m_clientProperties)
        return;
    m_clientProperties = std::make_unique<X11ClientProperties>(*this);
    m_clientPropertiesThread = std::this_thread::get_id();
}

X11ClientProperties* X11Connection::clientProperties() {
    if (!m_clientProperties || std::this_thread::get_id() != m_clientPropertiesThread)
        return nullptr;
    return m_clientProperties.get();
}

void X11Connection::takeQueuedEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(m_connection))
        m_deferred.push_back(noted(event));
}

void X11Connection::takeAvailableEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
        m_deferred.push_back(noted(event));
}

X11Connection::ListenerID X11Connection::addNote(Listener note) {
    const ListenerID id = m_nextListenerID++;
    m_notes.emplace(id, std::move(note));
    return id;
}

void X11Connection::removeNote(ListenerID id) {
    m_notes.erase(id);
}

xcb_generic_event_t* X11Connection::noted(xcb_generic_event_t* event) {
    if (!event)
        return event;
    observeTime(*event);
    if (m_clientProperties)
        m_clientProperties->note(*event);
    for (const auto& [id, note] : m_notes)
        note(*event);
    return event;
}

void X11Connection::observeTime(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
        m_serverClock.observe(reinterpret_cast<const xcb_key_press_event_t&>(event).time,
                              X11ServerClock::steadyMilliseconds());
        return;
    case XCB_PROPERTY_NOTIFY:
        m_serverClock.observe(reinterpret_cast<const xcb_property_notify_event_t&>(event).time,
                              X11ServerClock::steadyMilliseconds());
        return;
    default:
        return;
    }
}

} // namespace halvo
