// Moves under window managers that place windows themselves, see X11TilingPlacement.h.
#include "platform/x11/X11TilingPlacement.h"

#include "platform/i3ipc/I3Command.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/x11/HerbstclientMonitors.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11Property.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace halvo {
namespace {

// i3 and herbstluftwm rearrange a layout in a few milliseconds; a loaded machine gets more.
constexpr auto landingTimeout = std::chrono::milliseconds(1500);
// The same app and monitor within this time is the same long press.
constexpr auto repeatWindow = std::chrono::seconds(2);
constexpr std::uint32_t sourcePager = 2;

bool contains(const Rect& rect, Point point) {
    return point.x >= rect.minX() && point.x < rect.maxX() && point.y >= rect.minY() &&
           point.y < rect.maxY();
}

} // namespace

X11TilingPlacement::X11TilingPlacement(X11ThreadConnection& connection, Log* log)
    : m_connection(connection), m_log(log) {}

X11TilingPlacement::Outcome X11TilingPlacement::place(xcb_window_t window, Point rootTarget) {
    const std::string manager = windowManagerName();
    // I3_SOCKET_PATH alone may be left on the root by an i3 that another window manager replaced.
    if (manager == "i3" || (manager.empty() && !rootText("I3_SOCKET_PATH").empty()))
        return placeUnderI3(window, targetAt(rootTarget), rootTarget);
    if (manager == "herbstluftwm")
        return placeUnderHerbstluftwm(window, targetAt(rootTarget), rootTarget);
    return Outcome::notHandled;
}

void X11TilingPlacement::reportIgnored(xcb_window_t window, Point rootTarget) {
    // A window manager may keep a window off a panel, or take its time: landing on the monitor
    // soon is enough.
    const Target target = targetAt(rootTarget);
    if (!waitUntilOn(window, target, landingTimeout / 3))
        refuse(window, target, "the window manager placed them itself");
}

X11TilingPlacement::Outcome
X11TilingPlacement::placeUnderI3(xcb_window_t window, const Target& target, Point rootTarget) {
    try {
        I3IpcClient client(i3SocketPath());
        const I3Node tree = client.tree();
        const I3Node* node = tree.findWindow(window);
        if (!node)
            return refuse(window, target, "i3 does not manage them");
        // i3 moves a floating window where it is asked, keeping its place on the monitor.
        if (node->floating)
            return Outcome::notHandled;
        const std::vector<I3Output> outputs = client.outputs();
        const auto output = std::find_if(outputs.begin(), outputs.end(), [&](const I3Output& o) {
            return o.active && contains(o.rect, rootTarget);
        });
        if (output == outputs.end())
            return refuse(window, target, "i3 shows no output there");
        for (const I3CommandResult& result :
             client.runCommand(I3Command::moveToOutput(node->id, *output))) {
            if (!result.success)
                return refuse(window, target, "i3 refused: " + result.error);
        }
    } catch (const I3IpcError& error) {
        return refuse(window, target, error.what());
    }
    return landed(window, target, "i3");
}

X11TilingPlacement::Outcome X11TilingPlacement::placeUnderHerbstluftwm(xcb_window_t window,
                                                                       const Target& target,
                                                                       Point rootTarget) {
    std::string error;
    const auto monitors = HerbstclientMonitors::read(error);
    if (!monitors)
        return refuse(window, target, error);
    const auto monitor = std::find_if(monitors->begin(), monitors->end(), [&](const auto& m) {
        return contains(m.rootFrame, rootTarget);
    });
    if (monitor == monitors->end())
        return refuse(window, target, "herbstluftwm shows no monitor there");
    // herbstluftwm's tags are the EWMH desktops, named and ordered alike.
    const std::string names = rootText("_NET_DESKTOP_NAMES");
    std::vector<std::string> tags;
    for (std::size_t start = 0; start < names.size();) {
        const std::size_t end = std::min(names.find('\0', start), names.size());
        tags.push_back(names.substr(start, end - start));
        start = end + 1;
    }
    const auto tag = std::find(tags.begin(), tags.end(), monitor->tag);
    if (tag == tags.end())
        return refuse(window, target, "herbstluftwm lists no desktop for tag " + monitor->tag);
    const auto index = static_cast<std::uint32_t>(tag - tags.begin());
    m_connection.sendToRoot(window, m_connection.atom("_NET_WM_DESKTOP"), index, sourcePager);
    return landed(window, target, "herbstluftwm");
}

X11TilingPlacement::Outcome X11TilingPlacement::refuse(xcb_window_t window, const Target& target,
                                                       const std::string& reason) {
    const std::string line =
        "Halvo: Could not move " + appName(window) + "'s windows to " + target.name + ": " + reason;
    const std::lock_guard lock(m_logged);
    const auto now = std::chrono::steady_clock::now();
    if (m_log && (line != m_lastLine || now - m_lastLineTime > repeatWindow))
        m_log->write(line);
    m_lastLine = line;
    m_lastLineTime = now;
    return Outcome::refused;
}

bool X11TilingPlacement::waitUntilOn(xcb_window_t window, const Target& target,
                                     std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!onMonitor(window, target.rootFrame)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

X11TilingPlacement::Outcome X11TilingPlacement::landed(xcb_window_t window, const Target& target,
                                                       const std::string& manager) {
    if (waitUntilOn(window, target, landingTimeout))
        return Outcome::moved;
    return refuse(window, target, manager + " left them where they were");
}

std::string X11TilingPlacement::windowManagerName() {
    xcb_connection_t* c = m_connection.xcb();
    const xcb_atom_t check = m_connection.atom("_NET_SUPPORTING_WM_CHECK");
    const auto wm = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, m_connection.root(), check, XCB_ATOM_WINDOW, 1)));
    if (wm.empty())
        return {};
    const auto name = X11Property::receive(
        c, X11Property::request(c, wm.front(), m_connection.atom("_NET_WM_NAME"),
                                m_connection.atom("UTF8_STRING"), 64));
    if (!name || name->format != 8)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(name.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(name.get())));
}

std::string X11TilingPlacement::rootText(std::string_view property) {
    xcb_connection_t* c = m_connection.xcb();
    const auto reply = X11Property::receive(
        c, X11Property::request(c, m_connection.root(), m_connection.atom(property),
                                XCB_GET_PROPERTY_TYPE_ANY, 1024));
    if (!reply || reply->format != 8)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

std::string X11TilingPlacement::i3SocketPath() {
    if (const char* path = std::getenv("I3SOCK"); path && *path)
        return path;
    return rootText("I3_SOCKET_PATH");
}

X11TilingPlacement::Target X11TilingPlacement::targetAt(Point rootTarget) {
    Target target{{rootTarget.x, rootTarget.y, 1, 1}, "the monitor"};
    for (const X11Monitors::Monitor& monitor : X11Monitors::read(m_connection.get())) {
        if (!contains(monitor.rootFrame, rootTarget))
            continue;
        target.rootFrame = monitor.rootFrame;
        xcb_connection_t* c = m_connection.xcb();
        std::unique_ptr<xcb_get_atom_name_reply_t, X11Property::FreeDeleter> name(
            xcb_get_atom_name_reply(c, xcb_get_atom_name(c, monitor.name), nullptr));
        if (name)
            target.name.assign(xcb_get_atom_name_name(name.get()),
                               static_cast<std::size_t>(xcb_get_atom_name_name_length(name.get())));
        break;
    }
    return target;
}

bool X11TilingPlacement::onMonitor(xcb_window_t window, const Rect& monitor) {
    xcb_connection_t* c = m_connection.xcb();
    const auto attributesCookie = xcb_get_window_attributes(c, window);
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto translateCookie = xcb_translate_coordinates(c, window, m_connection.root(), 0, 0);
    std::unique_ptr<xcb_get_window_attributes_reply_t, X11Property::FreeDeleter> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    std::unique_ptr<xcb_get_geometry_reply_t, X11Property::FreeDeleter> geometry(
        xcb_get_geometry_reply(c, geometryCookie, nullptr));
    std::unique_ptr<xcb_translate_coordinates_reply_t, X11Property::FreeDeleter> translated(
        xcb_translate_coordinates_reply(c, translateCookie, nullptr));
    // herbstluftwm unmaps the windows of tags no monitor shows; they keep their coordinates.
    if (!attributes || !geometry || !translated || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return false;
    return contains(monitor, {translated->dst_x + geometry->width / 2.0,
                              translated->dst_y + geometry->height / 2.0});
}

std::string X11TilingPlacement::appName(xcb_window_t window) {
    xcb_connection_t* c = m_connection.xcb();
    const std::string name = X11Property::wmClass(X11Property::receive(
        c, X11Property::request(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256)));
    return name.empty() ? "the app" : name;
}

} // namespace halvo
