// The fake client's child process: plain xcb, windows mapped once, then idle until killed.
#include "support/FakeX11Client.h"

#include <algorithm>
#include <poll.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace halvo::test {
namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::string(name).size()), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    free(reply);
    return atom;
}

void appendImage(std::vector<std::uint32_t>& data, std::uint32_t side, std::uint32_t color) {
    data.push_back(side);
    data.push_back(side);
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            // A frame and a diagonal in white, so a drawn icon is recognisable.
            const bool frame =
                x < side / 8 || y < side / 8 || x >= side - side / 8 || y >= side - side / 8;
            const bool diagonal = x + 2 >= y && x <= y + 2;
            data.push_back(frame || diagonal ? 0xFFFFFFFF : color);
        }
    }
}

} // namespace

std::vector<std::uint32_t> FakeX11Client::iconData(std::uint32_t color) {
    std::vector<std::uint32_t> data;
    appendImage(data, 16, color);
    appendImage(data, 64, color);
    return data;
}

pid_t FakeX11Client::spawn(XvfbSession& session, const Options& options) {
    const std::string display = session.display();
    return session.forkClient([display, options] { return run(display, options); });
}

int FakeX11Client::run(const std::string& display, const Options& options) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t pidAtom = intern(c, "_NET_WM_PID");
    const xcb_atom_t iconAtom = intern(c, "_NET_WM_ICON");
    const xcb_atom_t typeAtom = intern(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t dockAtom = intern(c, "_NET_WM_WINDOW_TYPE_DOCK");
    const xcb_atom_t stateAtom = intern(c, "_NET_WM_STATE");
    const xcb_atom_t skipAtom = intern(c, "_NET_WM_STATE_SKIP_TASKBAR");

    std::string wmClass = options.wmInstance;
    wmClass.push_back('\0');
    wmClass += options.wmClass;
    wmClass.push_back('\0');
    const std::vector<std::uint32_t> icon = iconData(options.iconColor);
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    const int columns = std::max(1, static_cast<int>(screen->width_in_pixels) / options.width);

    for (int i = 0; i < options.windows; ++i) {
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t values[] = {0xFF808080, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root,
                          static_cast<std::int16_t>((i % columns) * options.width),
                          static_cast<std::int16_t>((i / columns) % 8 * options.height),
                          static_cast<std::uint16_t>(options.width),
                          static_cast<std::uint16_t>(options.height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
        const std::string title = options.wmClass + " " + std::to_string(i + 1);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(title.size()), title.data());
        // A position of the user's choosing: the window manager places nothing itself, which
        // would cost it a scan of every other window per new one.
        std::uint32_t hints[18] = {};
        hints[0] = 1 | 2; // USPosition | USSize
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        if (options.netWmPid)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom, XCB_ATOM_CARDINAL, 32, 1,
                                &pid);
        if (options.icon)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, iconAtom, XCB_ATOM_CARDINAL, 32,
                                static_cast<std::uint32_t>(icon.size()), icon.data());
        std::vector<xcb_atom_t> types;
        for (const std::string& name : options.windowTypes)
            types.push_back(intern(c, name.c_str()));
        if (options.dock && types.empty())
            types.push_back(dockAtom);
        if (!types.empty())
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, typeAtom, XCB_ATOM_ATOM, 32,
                                static_cast<std::uint32_t>(types.size()), types.data());
        if (options.skipTaskbar)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, stateAtom, XCB_ATOM_ATOM, 32, 1,
                                &skipAtom);
        xcb_map_window(c, window);
    }
    xcb_flush(c);

    // Idle until killed or the server goes away; events are read and dropped.
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (poll(&fd, 1, -1) >= 0) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c))
            free(event);
        if (xcb_connection_has_error(c))
            break;
    }
    xcb_disconnect(c);
    return 0;
}

} // namespace halvo::test
