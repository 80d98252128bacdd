// Reading windows and properties straight from the X server, as the tests' eyes.
#include "e2e/DesktopReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

DesktopReader::DesktopReader(const std::string& display)
    : m_connection(xcb_connect(display.c_str(), nullptr)) {
    if (!xcb_connection_has_error(m_connection))
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

DesktopReader::~DesktopReader() {
    xcb_disconnect(m_connection);
}

xcb_atom_t DesktopReader::atom(const char* name) const {
    Freed<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr)};
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_window_t> DesktopReader::topLevels(const std::string& wmClass) const {
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

std::vector<xcb_window_t> DesktopReader::allWindows(xcb_window_t from) const {
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

std::optional<xcb_window_t> DesktopReader::visibleOverlay() const {
    for (xcb_window_t window : topLevels("halvo")) {
        if (isOverrideRedirect(window) && isViewable(window) &&
            windowName(window) == "Halvo overlay")
            return window;
    }
    return std::nullopt;
}

std::optional<xcb_window_t> DesktopReader::halvoWindowNamed(const std::string& name) const {
    for (xcb_window_t window : allWindows(m_root)) {
        if (windowClass(window) == "halvo" && windowName(window) == name)
            return window;
    }
    return std::nullopt;
}

std::optional<WindowFrame> DesktopReader::frame(xcb_window_t window) const {
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

bool DesktopReader::isViewable(xcb_window_t window) const {
    Freed<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr)};
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool DesktopReader::isOverrideRedirect(xcb_window_t window) const {
    Freed<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr)};
    return attributes && attributes->override_redirect;
}

xcb_window_t DesktopReader::parent(xcb_window_t window) const {
    Freed<xcb_query_tree_reply_t> tree{
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr)};
    return tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
}

std::string DesktopReader::windowClass(xcb_window_t window) const {
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

std::string DesktopReader::windowName(xcb_window_t window) const {
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

xcb_window_t DesktopReader::activeWindow() const {
    Freed<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, m_root, atom("_NET_ACTIVE_WINDOW"),
                                                XCB_ATOM_WINDOW, 0, 1),
                               nullptr)};
    if (!reply || xcb_get_property_value_length(reply.reply) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.reply));
}

std::string DesktopReader::activeClass() const {
    const xcb_window_t window = activeWindow();
    return window == XCB_WINDOW_NONE ? std::string() : windowClass(window);
}

bool DesktopReader::isFullScreen(xcb_window_t window) const {
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

xcb_window_t DesktopReader::clientOfClass(const std::string& wmClass) const {
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

std::optional<double> DesktopReader::brightnessAt(int x, int y) const {
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

void DesktopReader::movePointer(int x, int y) {
    xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root,
                        static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
    sync();
}

void DesktopReader::pressButton(int button) {
    xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, static_cast<uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void DesktopReader::releaseButton(int button) {
    xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, static_cast<uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void DesktopReader::sync() const {
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace halvo::test
