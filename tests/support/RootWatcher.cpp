// Root watching for probes: events are read as soon as poll() reports the connection readable.
#include "support/RootWatcher.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace halvo::test {

RootWatcher::RootWatcher(const std::string& display)
    : m_connection(xcb_connect(display.c_str(), nullptr)) {
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    activeWindowAtom = intern("_NET_ACTIVE_WINDOW");
    clientListAtom = intern("_NET_CLIENT_LIST");
}

RootWatcher::~RootWatcher() {
    xcb_disconnect(m_connection);
}

xcb_atom_t RootWatcher::intern(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

void RootWatcher::drain() {
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
        std::free(event);
}

std::optional<RootWatcher::Event>
RootWatcher::waitFor(const std::function<bool(const Event&)>& match, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    while (true) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            const Event event = translate(raw);
            std::free(raw);
            if (match(event))
                return event;
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero() || xcb_connection_has_error(m_connection))
            return std::nullopt;
        pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
        ::poll(&fd, 1, static_cast<int>(std::max<long long>(1, ms)));
    }
}

std::string RootWatcher::wmClass(xcb_window_t window) {
    auto* reply = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
        nullptr);
    std::string result;
    if (reply && xcb_get_property_value_length(reply) > 0) {
        const char* data = static_cast<const char*>(xcb_get_property_value(reply));
        result.assign(data,
                      strnlen(data, static_cast<size_t>(xcb_get_property_value_length(reply))));
    }
    std::free(reply);
    return result;
}

std::string RootWatcher::name(xcb_window_t window) {
    auto* reply = xcb_get_property_reply(m_connection,
                                         xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                                          XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                                         nullptr);
    std::string result;
    if (reply)
        result.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                      static_cast<size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return result;
}

xcb_window_t RootWatcher::childNamed(const std::string& title) {
    auto* tree = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
    xcb_window_t found = 0;
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            if (name(children[i]) == title)
                found = children[i];
        }
    }
    std::free(tree);
    return found;
}

xcb_timestamp_t RootWatcher::serverTime() {
    const xcb_atom_t stamp = intern("_HALVO_PROBE_TIME");
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_root, stamp, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(m_connection);
    const auto event = waitFor(
        [&](const Event& e) { return e.type == XCB_PROPERTY_NOTIFY && e.atom == stamp; }, 2);
    return event ? event->time : xcb_timestamp_t{XCB_CURRENT_TIME};
}

size_t RootWatcher::clientCount() {
    auto* reply = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, m_root, clientListAtom, XCB_ATOM_WINDOW, 0, 65536),
        nullptr);
    const size_t count =
        reply ? static_cast<size_t>(xcb_get_property_value_length(reply)) / 4 : size_t{0};
    std::free(reply);
    return count;
}

RootWatcher::Event RootWatcher::translate(const xcb_generic_event_t* raw) {
    Event event;
    event.at = Clock::now();
    event.type = raw->response_type & 0x7f;
    switch (event.type) {
    case XCB_CREATE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(raw);
        event.window = e->window;
        event.parent = e->parent;
        event.overrideRedirect = e->override_redirect;
        break;
    }
    case XCB_MAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(raw);
        event.window = e->window;
        event.overrideRedirect = e->override_redirect;
        break;
    }
    case XCB_UNMAP_NOTIFY:
        event.window = reinterpret_cast<const xcb_unmap_notify_event_t*>(raw)->window;
        break;
    case XCB_DESTROY_NOTIFY:
        event.window = reinterpret_cast<const xcb_destroy_notify_event_t*>(raw)->window;
        break;
    case XCB_REPARENT_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(raw);
        event.window = e->window;
        event.parent = e->parent;
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(raw);
        event.window = e->window;
        event.atom = e->atom;
        event.time = e->time;
        break;
    }
    default:
        break;
    }
    return event;
}

} // namespace halvo::test
