// A cheap crowd of client windows for benchmarks: one process maps N small top-level windows,
// each its own application to a switcher (its own WM_CLASS, title and 32x32 _NET_WM_ICON), and
// then only keeps its connection open until it is killed or every window is closed.
//
//   window_crowd COUNT [--groups K]   (K classes shared round-robin; default: one per window)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

// A 32x32 ARGB icon: a coloured square with a darker border, the colour derived from `index`.
std::vector<uint32_t> icon(int index) {
    const uint32_t hue = static_cast<uint32_t>(index) * 2654435761u;
    const uint32_t fill = 0xff000000u | (hue & 0x00ffffffu);
    const uint32_t border = 0xff000000u | ((hue >> 1) & 0x007f7f7fu);
    std::vector<uint32_t> data{32, 32};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            data.push_back((x < 2 || y < 2 || x > 29 || y > 29) ? border : fill);
    }
    return data;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_crowd COUNT [--groups K]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    int groups = count;
    for (int i = 2; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--groups"))
            groups = std::max(1, std::atoi(argv[i + 1]));
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "window_crowd: cannot open the display\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t wmProtocols = atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t wmDelete = atom(connection, "WM_DELETE_WINDOW");
    const xcb_atom_t netWmIcon = atom(connection, "_NET_WM_ICON");
    const xcb_atom_t netWmPid = atom(connection, "_NET_WM_PID");
    const xcb_atom_t netWmName = atom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    const auto pid = static_cast<uint32_t>(getpid());

    int open = 0;
    for (int i = 0; i < count; ++i) {
        const xcb_window_t window = xcb_generate_id(connection);
        const uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root,
                          static_cast<int16_t>(40 + (i % 20) * 48),
                          static_cast<int16_t>(40 + (i / 20 % 15) * 40), 200, 120, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const int group = i % groups;
        const std::string instance = "crowd" + std::to_string(group);
        const std::string cls = "Crowd" + std::to_string(group);
        std::string wmClass = instance;
        wmClass.push_back('\0');
        wmClass += cls;
        wmClass.push_back('\0');
        const std::string title = "Crowd window " + std::to_string(i);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                            XCB_ATOM_STRING, 8, static_cast<uint32_t>(wmClass.size()),
                            wmClass.data());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                            XCB_ATOM_STRING, 8, static_cast<uint32_t>(title.size()), title.data());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmName, utf8, 8,
                            static_cast<uint32_t>(title.size()), title.data());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, wmProtocols, XCB_ATOM_ATOM,
                            32, 1, &wmDelete);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmPid, XCB_ATOM_CARDINAL,
                            32, 1, &pid);
        // WM_HINTS: flags InputHint, input true: the window takes focus when activated.
        const uint32_t hints[9] = {1, 1, 0, 0, 0, 0, 0, 0, 0};
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS,
                            XCB_ATOM_WM_HINTS, 32, 9, hints);
        const std::vector<uint32_t> pixels = icon(group);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmIcon, XCB_ATOM_CARDINAL,
                            32, static_cast<uint32_t>(pixels.size()), pixels.data());
        xcb_map_window(connection, window);
        ++open;
    }
    xcb_flush(connection);

    while (open > 0) {
        xcb_generic_event_t* event = xcb_wait_for_event(connection);
        if (!event)
            break;
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == wmProtocols && message->data.data32[0] == wmDelete)
                xcb_destroy_window(connection, message->window);
            xcb_flush(connection);
        } else if (type == XCB_DESTROY_NOTIFY) {
            --open;
        }
        std::free(event);
    }
    xcb_disconnect(connection);
    return 0;
}
