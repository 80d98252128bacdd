// RandR monitors kept until a RandR notify or a ConfigureNotify of the root drops them, and the
// root's size as the latest of those reports it.
#include "platform/x11/X11MonitorCache.h"

#include <cstdlib>
#include <xcb/randr.h>

namespace halvo {

X11MonitorCache::X11MonitorCache(X11Connection& connection)
    : m_connection(connection), m_rootWidth(connection.screen()->width_in_pixels),
      m_rootHeight(connection.screen()->height_in_pixels) {
    xcb_connection_t* c = connection.xcb();
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    m_randr = randr && randr->present;
    if (m_randr) {
        m_randrFirstEvent = randr->first_event;
        // The server sends RandR 1.2 notifies only to clients that said which version they speak.
        xcb_discard_reply(c, xcb_randr_query_version(c, 1, 5).sequence);
        const std::uint16_t changes = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                      XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                      XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE;
        // Checked: a server without RandR 1.2 refuses the masks without an error event.
        xcb_discard_reply(c,
                          xcb_randr_select_input_checked(c, connection.root(), changes).sequence);
    }
    // Add StructureNotify to whatever this connection already selects on the root: monitors a
    // client sets or deletes come with no RandR event, only a ConfigureNotify of the root.
    xcb_generic_error_t* error = nullptr;
    auto* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, connection.root()), &error);
    free(error);
    const std::uint32_t mask =
        (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    free(attributes);
    xcb_change_window_attributes(c, connection.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    m_note = connection.addNote([this](const xcb_generic_event_t& event) { note(event); });
}

X11MonitorCache::~X11MonitorCache() {
    m_connection.removeNote(m_note);
}

void X11MonitorCache::note(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    bool changed = false;
    if (type == XCB_CONFIGURE_NOTIFY) {
        const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        changed = configure.window == m_connection.root();
        if (changed) {
            m_rootWidth = configure.width;
            m_rootHeight = configure.height;
        }
    } else if (m_randr) {
        changed = type == m_randrFirstEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                  type == m_randrFirstEvent + XCB_RANDR_NOTIFY;
    }
    if (!changed)
        return;
    m_kept.reset();
    ++m_changes;
}

X11MonitorCache::Read X11MonitorCache::request() {
    Read read;
    if (onOwnThread()) {
        // Every event already sent is noted first: a change the server reported before this
        // call drops the kept list, as a request sent now would have seen it.
        m_connection.takeAvailableEvents();
        if (m_kept) {
            read.kept = *m_kept;
            return read;
        }
        read.changes = m_changes;
    }
    read.cookie = X11Monitors::request(m_connection);
    ++m_fetches;
    return read;
}

X11MonitorCache::Monitors X11MonitorCache::receive(const Read& read) {
    if (read.kept)
        return *read.kept;
    Monitors monitors = X11Monitors::receive(m_connection, read.cookie);
    if (onOwnThread() && read.changes == m_changes)
        m_kept = monitors;
    return monitors;
}

} // namespace halvo
