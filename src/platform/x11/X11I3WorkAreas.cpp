// i3's workspace areas through its IPC, and the root property that says where i3 listens.
#include "platform/x11/X11I3WorkAreas.h"

#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/x11/X11Property.h"

#include <chrono>
#include <cstdlib>

namespace halvo {
namespace {

// i3 answers in well under a millisecond; a hung i3 must not hold up a show for long.
constexpr std::chrono::milliseconds timeout{250};

} // namespace

X11I3WorkAreas::X11I3WorkAreas(X11Connection& connection)
    : m_connection(connection), m_pathAtom(connection.atom("I3_SOCKET_PATH")) {
    xcb_connection_t* c = m_connection.xcb();
    // Add the root's property changes to whatever this connection already selects there.
    std::unique_ptr<xcb_get_window_attributes_reply_t, X11Property::FreeDeleter> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_connection.root()),
                                        nullptr));
    const std::uint32_t mask =
        (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, m_connection.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return;
        const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (notify.window != m_connection.root() || notify.atom != m_pathAtom)
            return;
        const std::lock_guard lock(m_mutex);
        m_path.reset();
        m_client.reset();
    });
}

X11I3WorkAreas::~X11I3WorkAreas() {
    m_connection.removeListener(m_listener);
}

std::string X11I3WorkAreas::socketPath() {
    if (const char* path = std::getenv("I3SOCK"); path && *path)
        return path;
    xcb_connection_t* c = m_connection.xcb();
    const auto reply =
        X11Property::receive(c, X11Property::request(c, m_connection.root(), m_pathAtom,
                                                     XCB_GET_PROPERTY_TYPE_ANY, 1024));
    if (!reply || reply->format != 8)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

std::vector<Rect> X11I3WorkAreas::read() {
    const std::lock_guard lock(m_mutex);
    if (!m_path)
        m_path = socketPath();
    if (m_path->empty())
        return {};
    std::vector<Rect> areas;
    try {
        if (!m_client)
            m_client = std::make_unique<I3IpcClient>(*m_path, timeout);
        for (const I3Workspace& workspace : m_client->workspaces()) {
            if (workspace.visible && !workspace.rect.isEmpty())
                areas.push_back(workspace.rect);
        }
    } catch (const I3IpcError&) {
        // A stale path (i3 replaced by another window manager) or a broken connection: the next
        // read connects again; the struts alone count meanwhile.
        m_client.reset();
        return {};
    }
    return areas;
}

Rect X11I3WorkAreas::within(const Rect& area, const Rect& monitor,
                            const std::vector<Rect>& workAreas) {
    for (const Rect& work : workAreas) {
        if (!monitor.contains(Point{work.midX(), work.midY()}))
            continue;
        const Rect inside = area.intersection(work);
        return inside.isEmpty() ? area : inside;
    }
    return area;
}

} // namespace halvo
