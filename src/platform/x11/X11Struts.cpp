// Strut reads that ask only about windows whose struts or map state changed since the last one.
#include "platform/x11/X11Struts.h"

#include "platform/x11/WindowStrut.h"
#include "platform/x11/X11Property.h"

#include <memory>

namespace halvo {
namespace {

template <typename T> using Owned = std::unique_ptr<T, X11Property::FreeDeleter>;

} // namespace

X11Struts::X11Struts(X11Connection& connection)
    : m_connection(connection), m_partialAtom(connection.atom("_NET_WM_STRUT_PARTIAL")),
      m_strutAtom(connection.atom("_NET_WM_STRUT")),
      m_clientListAtom(connection.atom("_NET_CLIENT_LIST")) {
    xcb_connection_t* c = m_connection.xcb();
    // Add to whatever this connection already selects on the root: maps, unmaps, reparents and
    // destructions of its children, and changes of the client list.
    Owned<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, m_connection.root()), nullptr));
    const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0) |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, m_connection.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& e) { handleEvent(e); });
}

X11Struts::~X11Struts() {
    m_connection.removeListener(m_listener);
}

std::size_t X11Struts::fetches() const {
    std::lock_guard lock(m_mutex);
    return m_fetches;
}

std::vector<std::vector<std::uint32_t>> X11Struts::read() {
    std::lock_guard lock(m_mutex);
    readStructure();
    fetchStruts();
    std::vector<std::vector<std::uint32_t>> result;
    for (const auto& [id, window] : m_windows) {
        if (counts(window) && window.strut)
            result.push_back(*window.strut);
    }
    return result;
}

void X11Struts::readStructure() {
    xcb_connection_t* c = m_connection.xcb();
    const xcb_window_t root = m_connection.root();
    std::optional<xcb_query_tree_cookie_t> treeCookie;
    std::optional<xcb_get_property_cookie_t> listCookie;
    if (!m_treeKnown)
        treeCookie = xcb_query_tree(c, root);
    if (!m_clientsKnown)
        listCookie = X11Property::request(c, root, m_clientListAtom, XCB_ATOM_WINDOW, 65536);
    if (treeCookie) {
        Owned<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, *treeCookie, nullptr));
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            for (int i = 0; i < count; ++i) {
                Window& window = m_windows[children[i]];
                window.rootChild = true;
                window.mapKnown = false;
            }
            m_treeKnown = true;
        }
    }
    if (listCookie) {
        const auto clients = X11Property::values32(X11Property::receive(c, *listCookie));
        for (auto& [id, window] : m_windows)
            window.client = false;
        for (xcb_window_t id : clients)
            m_windows[id].client = true;
        std::erase_if(m_windows, [](const auto& entry) {
            return !entry.second.rootChild && !entry.second.client;
        });
        m_clientsKnown = true;
    }

    std::vector<std::pair<xcb_window_t, xcb_get_window_attributes_cookie_t>> cookies;
    for (const auto& [id, window] : m_windows) {
        if (window.rootChild && !window.mapKnown)
            cookies.emplace_back(id, xcb_get_window_attributes(c, id));
    }
    for (const auto& [id, cookie] : cookies) {
        Owned<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, cookie, nullptr));
        Window& window = m_windows[id];
        window.mapped = attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
        window.mapKnown = true;
    }
}

void X11Struts::fetchStruts() {
    struct Fetch {
        xcb_window_t id;
        xcb_get_property_cookie_t partial;
        xcb_get_property_cookie_t plain;
    };
    xcb_connection_t* c = m_connection.xcb();
    std::vector<Fetch> fetches;
    for (auto& [id, window] : m_windows) {
        if (window.fetched || !counts(window))
            continue;
        if (!window.watched) {
            // Selected before the read, so a change after it is sure to arrive as an event. The
            // same mask the workspace selects on client windows: neither replaces the other's.
            const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            const auto cookie =
                xcb_change_window_attributes_checked(c, id, XCB_CW_EVENT_MASK, &mask);
            xcb_discard_reply(c, cookie.sequence);
            window.watched = true;
        }
        fetches.push_back({id, X11Property::request(c, id, m_partialAtom, XCB_ATOM_CARDINAL, 12),
                           X11Property::request(c, id, m_strutAtom, XCB_ATOM_CARDINAL, 4)});
    }
    for (const Fetch& fetch : fetches) {
        const auto partial = X11Property::values32(X11Property::receive(c, fetch.partial));
        const auto plain = X11Property::values32(X11Property::receive(c, fetch.plain));
        Window& window = m_windows[fetch.id];
        window.strut = WindowStrut::fromProperties(partial, plain);
        window.fetched = true;
        ++m_fetches;
    }
}

void X11Struts::handleEvent(const xcb_generic_event_t& event) {
    const xcb_window_t root = m_connection.root();
    std::lock_guard lock(m_mutex);
    switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (notify.window == root) {
            if (notify.atom == m_clientListAtom)
                m_clientsKnown = false;
        } else if (notify.atom == m_partialAtom || notify.atom == m_strutAtom) {
            if (const auto found = m_windows.find(notify.window); found != m_windows.end())
                found->second.fetched = false;
        }
        break;
    }
    case XCB_CREATE_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_create_notify_event_t&>(event);
        if (m_treeKnown && notify.parent == root) {
            Window& window = m_windows[notify.window];
            window.rootChild = true;
            window.mapped = false;
            window.mapKnown = true;
        }
        break;
    }
    case XCB_MAP_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        if (m_treeKnown && notify.event == root) {
            Window& window = m_windows[notify.window];
            window.rootChild = true;
            window.mapped = true;
            window.mapKnown = true;
        }
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
        if (const auto found = m_windows.find(notify.window);
            notify.event == root && found != m_windows.end()) {
            found->second.mapped = false;
            found->second.mapKnown = true;
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (notify.event == root)
            m_windows.erase(notify.window);
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
        if (!m_treeKnown || notify.event != root)
            break;
        if (notify.parent == root) {
            // Its map state did not change with the move, and the event does not tell it.
            Window& window = m_windows[notify.window];
            window.rootChild = true;
            window.mapKnown = false;
        } else if (const auto found = m_windows.find(notify.window); found != m_windows.end()) {
            found->second.rootChild = false;
            if (!found->second.client)
                m_windows.erase(found);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace halvo
