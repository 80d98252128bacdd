// RandR monitors less dock struts, in root coordinates.
#include "platform/x11/X11Screens.h"

#include "platform/x11/WindowStrut.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11Property.h"

#include <algorithm>
#include <utility>

namespace halvo {

X11Screens::X11Screens(X11Connection& connection)
    : m_connection(connection), m_monitors(connection), m_struts(connection), m_i3(connection) {
    m_listener = m_connection.addListener([this](const xcb_generic_event_t&) {
        // An expected query not asked for before the main loop handed out an event would answer
        // a later question with an old pointer.
        dropExpectedPointer();
    });
}

X11Screens::~X11Screens() {
    m_connection.removeListener(m_listener);
    dropExpectedPointer();
}

std::vector<Screen> X11Screens::screens() const {
    auto& connection = const_cast<X11Connection&>(m_connection);
    const auto monitors = m_monitors.read();
    // Every event the server sent before the monitors' answer (kept, or its reply) is in xcb's
    // queue now: handling those events lets the struts see a dock that was just mapped or
    // changed.
    if (std::this_thread::get_id() == m_thread)
        connection.dispatchPending();
    const auto struts = m_struts.read();
    const auto i3WorkAreas = m_i3.read();
    const auto names = monitorNames(monitors);
    const Size root = m_monitors.rootSize();

    std::vector<Screen> result;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        Screen screen;
        screen.name = names[i];
        // The name atom stays the same for as long as the monitor exists.
        screen.identifier = monitors[i].name != XCB_ATOM_NONE ? monitors[i].name : 1;
        screen.frame = monitors[i].rootFrame;
        const Rect area = visibleArea(monitors[i].rootFrame, struts, root.width, root.height);
        screen.visibleFrame = X11I3WorkAreas::within(area, monitors[i].rootFrame, i3WorkAreas);
        result.push_back(std::move(screen));
    }
    return result;
}

std::vector<std::string>
X11Screens::monitorNames(const std::vector<X11Monitors::Monitor>& monitors) const {
    xcb_connection_t* c = m_connection.xcb();
    std::lock_guard lock(m_namesMutex);
    std::vector<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> cookies;
    for (const auto& monitor : monitors) {
        if (monitor.name != XCB_ATOM_NONE && !m_names.count(monitor.name))
            cookies.emplace_back(monitor.name, xcb_get_atom_name(c, monitor.name));
    }
    for (const auto& [atom, cookie] : cookies) {
        xcb_generic_error_t* error = nullptr;
        auto* name = xcb_get_atom_name_reply(c, cookie, &error);
        free(error);
        if (!name)
            continue;
        m_names[atom].assign(xcb_get_atom_name_name(name),
                             static_cast<std::size_t>(xcb_get_atom_name_name_length(name)));
        free(name);
    }
    std::vector<std::string> result;
    for (const auto& monitor : monitors) {
        const auto found = m_names.find(monitor.name);
        result.push_back(found != m_names.end() ? found->second : std::string());
    }
    return result;
}

Rect X11Screens::visibleArea(const Rect& monitor,
                             const std::vector<std::vector<std::uint32_t>>& struts,
                             double rootWidth, double rootHeight) {
    return WindowStrut::visibleArea(monitor, struts, rootWidth, rootHeight);
}

std::optional<Screen> X11Screens::mainScreen() const {
    const auto all = screens();
    if (all.empty())
        return std::nullopt;
    xcb_connection_t* c = m_connection.xcb();
    auto& connection = const_cast<X11Connection&>(m_connection);
    const auto active = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, connection.root(), connection.atom("_NET_ACTIVE_WINDOW"),
                                XCB_ATOM_WINDOW, 1)));
    Point probe = mouseLocation();
    if (!active.empty() && active.front() != XCB_NONE) {
        xcb_generic_error_t* error = nullptr;
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, active.front()), &error);
        free(error);
        error = nullptr;
        auto* translated = xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, active.front(), connection.root(), 0, 0), &error);
        free(error);
        if (geometry && translated)
            probe = {translated->dst_x + geometry->width / 2.0,
                     translated->dst_y + geometry->height / 2.0};
        free(geometry);
        free(translated);
    }
    for (const auto& screen : all) {
        if (screen.frame.contains(probe))
            return screen;
    }
    return all.front();
}

X11Screens::PointerRead X11Screens::requestPointer() const {
    return {m_monitors.request(), xcb_query_pointer(m_connection.xcb(), m_connection.root())};
}

void X11Screens::expectMouseLocation() const {
    if (std::this_thread::get_id() != m_thread)
        return;
    dropExpectedPointer();
    m_expectedPointer = requestPointer();
}

void X11Screens::dropExpectedPointer() const {
    if (!m_expectedPointer)
        return;
    xcb_connection_t* c = m_connection.xcb();
    if (!m_expectedPointer->monitors.kept)
        xcb_discard_reply(c, m_expectedPointer->monitors.cookie.sequence);
    xcb_discard_reply(c, m_expectedPointer->pointer.sequence);
    m_expectedPointer.reset();
}

Point X11Screens::mouseLocation() const {
    std::optional<PointerRead> read;
    if (std::this_thread::get_id() == m_thread)
        read = std::exchange(m_expectedPointer, std::nullopt);
    if (!read)
        read = requestPointer();
    // The pointer needs no monitors; they ride with its query for the screens() asked next.
    m_monitors.receive(read->monitors);
    xcb_generic_error_t* error = nullptr;
    auto* pointer = xcb_query_pointer_reply(m_connection.xcb(), read->pointer, &error);
    free(error);
    if (!pointer)
        return {};
    const Point location{double(pointer->root_x), double(pointer->root_y)};
    free(pointer);
    return location;
}

} // namespace halvo
