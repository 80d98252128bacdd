// Reading windows and properties straight from the X server, and waiting for them to change, as
// the tests' eyes.
#include "support/DesktopWatcher.h"

#include "platform/x11/X11Xkb.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb_image.h>
#include <xcb/xtest.h>

namespace halvo::test {
namespace {

template <typename Reply> struct Freed {
    Reply* reply;
    ~Freed() { free(reply); }
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace

DesktopWatcher::DesktopWatcher(const std::string& display)
    : m_connection(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(m_connection))
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_activeWindowAtom = atom("_NET_ACTIVE_WINDOW");
    m_checkAtom = atom("_NET_SUPPORTING_WM_CHECK");
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    if (const x11::XkbSupport xkb = x11::useXkb(m_connection); xkb.usable) {
        m_xkbFirstEvent = xkb.firstEvent;
        xcb_xkb_select_events(m_connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_BELL_NOTIFY,
                              0, XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0, 0, nullptr);
    }
    Freed<xcb_query_tree_reply_t> tree{
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr)};
    if (!tree)
        return;
    const xcb_window_t* children = xcb_query_tree_children(tree.reply);
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i)
        watch(children[i]);
    xcb_flush(m_connection);
}

DesktopWatcher::~DesktopWatcher() {
    xcb_disconnect(m_connection);
}

void DesktopWatcher::watch(xcb_window_t window) {
    // Client windows are created as children of the root before the window manager reparents
    // them, so their _NET_WM_STATE changes, moves and focus changes are seen here too.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE |
                          XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
}

bool DesktopWatcher::readEvents(bool queuedOnly) {
    bool read = false;
    while (xcb_generic_event_t* event = queuedOnly ? xcb_poll_for_queued_event(m_connection)
                                                   : xcb_poll_for_event(m_connection)) {
        read = true;
        const int type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<const xcb_create_notify_event_t*>(event);
            if (created->parent == m_root)
                watch(created->window);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* changed = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (changed->window == m_root && changed->atom == m_checkAtom)
                m_focusedSinceCheck = false;
            else if (changed->window == m_root && changed->atom == m_activeWindowAtom)
                m_focusedSinceCheck = true;
        } else if (m_xkbFirstEvent != 0 && type == m_xkbFirstEvent &&
                   event->pad0 == XCB_XKB_BELL_NOTIFY) { // pad0 holds the XKB event's kind
            ++m_bells;
        }
        free(event);
    }
    xcb_flush(m_connection);
    return read;
}

bool DesktopWatcher::waitFor(const std::function<bool()>& condition, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    while (true) {
        readEvents(false);
        if (condition())
            return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        // Replies read while checking may have queued events behind them.
        if (readEvents(true))
            continue;
        // A broken connection is always readable: wait the fallback interval then.
        pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        const int timeout = static_cast<int>(std::clamp<long long>(left, 1, 50));
        if (xcb_connection_has_error(m_connection) || ::poll(&fd, 1, timeout) < 0)
            ::poll(nullptr, 0, timeout);
    }
}

xcb_atom_t DesktopWatcher::atom(const char* name) const {
    Freed<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr)};
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_window_t> DesktopWatcher::topLevels(const std::string& wmClass) const {
    std::vector<xcb_window_t> result;
    Freed<xcb_query_tree_reply_t> tree{
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr)};
    if (!tree)
        return result;
    const xcb_window_t* children = xcb_query_tree_children(tree.reply);
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i) {
        if (windowClass(children[i]) == wmClass)
            result.push_back(children[i]);
    }
    return result;
}

std::vector<xcb_window_t> DesktopWatcher::allWindows(xcb_window_t from) const {
    std::vector<xcb_window_t> result{from};
    for (size_t next = 0; next < result.size(); ++next) {
        Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(
            m_connection, xcb_query_tree(m_connection, result[next]), nullptr)};
        if (!tree)
            continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.reply);
        result.insert(result.end(), children,
                      children + xcb_query_tree_children_length(tree.reply));
    }
    return result;
}

std::optional<xcb_window_t> DesktopWatcher::visibleOverlay() const {
    for (xcb_window_t window : topLevels("halvo")) {
        if (isOverrideRedirect(window) && isViewable(window) &&
            windowName(window) == "Halvo overlay")
            return window;
    }
    return std::nullopt;
}

std::optional<xcb_window_t> DesktopWatcher::halvoWindowNamed(const std::string& name) const {
    for (xcb_window_t window : allWindows(m_root)) {
        if (windowClass(window) == "halvo" && windowName(window) == name)
            return window;
    }
    return std::nullopt;
}

std::optional<WindowFrame> DesktopWatcher::frame(xcb_window_t window) const {
    Freed<xcb_get_geometry_reply_t> geometry{
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr)};
    if (!geometry)
        return std::nullopt;
    Freed<xcb_translate_coordinates_reply_t> origin{xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr)};
    if (!origin)
        return std::nullopt;
    return WindowFrame{origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

bool DesktopWatcher::isViewable(xcb_window_t window) const {
    Freed<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr)};
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool DesktopWatcher::isOverrideRedirect(xcb_window_t window) const {
    Freed<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr)};
    return attributes && attributes->override_redirect;
}

xcb_window_t DesktopWatcher::parent(xcb_window_t window) const {
    Freed<xcb_query_tree_reply_t> tree{
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr)};
    return tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
}

std::string DesktopWatcher::windowClass(xcb_window_t window) const {
    Freed<xcb_get_property_reply_t> reply{xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr)};
    if (!reply)
        return {};
    const std::string both(static_cast<const char*>(xcb_get_property_value(reply.reply)),
                           static_cast<size_t>(xcb_get_property_value_length(reply.reply)));
    const auto split = both.find('\0');
    if (split == std::string::npos)
        return {};
    return both.substr(split + 1, both.find('\0', split + 1) - split - 1);
}

std::string DesktopWatcher::windowName(xcb_window_t window) const {
    for (const xcb_atom_t property : {atom("_NET_WM_NAME"), xcb_atom_t(XCB_ATOM_WM_NAME)}) {
        Freed<xcb_get_property_reply_t> reply{xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
            nullptr)};
        if (reply && xcb_get_property_value_length(reply.reply) > 0)
            return std::string(static_cast<const char*>(xcb_get_property_value(reply.reply)),
                               static_cast<size_t>(xcb_get_property_value_length(reply.reply)));
    }
    return {};
}

xcb_window_t DesktopWatcher::activeWindow() const {
    Freed<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, m_root, atom("_NET_ACTIVE_WINDOW"),
                                                XCB_ATOM_WINDOW, 0, 1),
                               nullptr)};
    if (!reply || xcb_get_property_value_length(reply.reply) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.reply));
}

std::string DesktopWatcher::activeClass() const {
    const xcb_window_t window = activeWindow();
    return window == XCB_WINDOW_NONE ? std::string() : windowClass(window);
}

bool DesktopWatcher::hasInputFocus(xcb_window_t window) const {
    Freed<xcb_get_input_focus_reply_t> focus{
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)};
    constexpr xcb_window_t pointerRoot = 1; // focus follows the pointer: on no one window
    xcb_window_t inside = focus ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
    while (inside != XCB_WINDOW_NONE && inside != pointerRoot && inside != m_root) {
        if (inside == window)
            return true;
        inside = parent(inside);
    }
    return false;
}

bool DesktopWatcher::isFullScreen(xcb_window_t window) const {
    const xcb_atom_t fullScreen = atom("_NET_WM_STATE_FULLSCREEN");
    Freed<xcb_get_property_reply_t> reply{xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, window, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 64),
        nullptr)};
    if (!reply)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.reply));
    const int count = xcb_get_property_value_length(reply.reply) / 4;
    return std::find(atoms, atoms + count, fullScreen) != atoms + count;
}

xcb_window_t DesktopWatcher::clientOfClass(const std::string& wmClass) const {
    Freed<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, m_root, atom("_NET_CLIENT_LIST"),
                                                XCB_ATOM_WINDOW, 0, 1024),
                               nullptr)};
    if (!reply)
        return XCB_WINDOW_NONE;
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.reply));
    for (int i = 0; i < xcb_get_property_value_length(reply.reply) / 4; ++i) {
        if (windowClass(windows[i]) == wmClass)
            return windows[i];
    }
    return XCB_WINDOW_NONE;
}

void DesktopWatcher::requestActivation(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // from a pager: no focus-stealing rules apply
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_connection);
}

std::optional<double> DesktopWatcher::brightnessAt(int x, int y) const {
    constexpr int side = 8;
    xcb_image_t* image = xcb_image_get(m_connection, m_root, static_cast<int16_t>(x - side / 2),
                                       static_cast<int16_t>(y - side / 2), side, side, ~0u,
                                       XCB_IMAGE_FORMAT_Z_PIXMAP);
    if (!image)
        return std::nullopt;
    double sum = 0;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const uint32_t pixel = xcb_image_get_pixel(image, static_cast<uint32_t>(column),
                                                       static_cast<uint32_t>(row));
            sum += ((pixel >> 16) & 0xff) + ((pixel >> 8) & 0xff) + (pixel & 0xff);
        }
    }
    xcb_image_destroy(image);
    return sum / (3.0 * side * side);
}

void DesktopWatcher::movePointer(int x, int y) {
    xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root,
                        static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
    sync();
}

void DesktopWatcher::pressButton(int button) {
    xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, static_cast<uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void DesktopWatcher::releaseButton(int button) {
    xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, static_cast<uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void DesktopWatcher::sync() const {
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace halvo::test
