// Pipelined enumeration of the managed client windows.
#include "platform/x11/X11ClientList.h"

#include "platform/x11/X11Property.h"
#include "platform/x11/X11WindowType.h"

#include <algorithm>
#include <map>
#include <xcb/res.h>

namespace halvo {
namespace {

constexpr std::uint32_t iconicState = 3; // WM_STATE value of an iconified window

struct WindowCookies {
    xcb_get_property_cookie_t wmClass, pid, type, state, wmState, desktop, icon;
    xcb_res_query_client_ids_cookie_t client;
};

ProcessID clientPid(xcb_connection_t* c, xcb_res_query_client_ids_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    xcb_res_query_client_ids_reply_t* reply = xcb_res_query_client_ids_reply(c, cookie, &error);
    free(error);
    ProcessID pid = 0;
    if (reply) {
        // Only the local-client pid was asked for, so every value the server returns is one.
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem;
             xcb_res_client_id_value_next(&it)) {
            if (xcb_res_client_id_value_value_length(it.data) >= 1) {
                pid = static_cast<ProcessID>(*xcb_res_client_id_value_value(it.data));
                break;
            }
        }
        free(reply);
    }
    return pid;
}

} // namespace

bool X11ClientList::Application::hidden() const {
    return !windows.empty() &&
           std::all_of(windows.begin(), windows.end(), [](const Window& w) { return w.iconic; });
}

X11ClientList X11ClientList::read(X11Connection& connection, ProcessID ownPid, bool iconLengths) {
    xcb_connection_t* c = connection.xcb();
    const xcb_window_t root = connection.root();
    const auto listCookie =
        X11Property::request(c, root, connection.atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
    const auto stackingCookie = X11Property::request(
        c, root, connection.atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 4096);
    const auto activeCookie =
        X11Property::request(c, root, connection.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 1);
    const auto desktopCookie = X11Property::request(
        c, root, connection.atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 1);

    const auto clients = X11Property::values32(X11Property::receive(c, listCookie));
    const auto stacking = X11Property::values32(X11Property::receive(c, stackingCookie));
    X11ClientList list;
    if (const auto active = X11Property::values32(X11Property::receive(c, activeCookie));
        !active.empty())
        list.m_activeWindow = active.front();
    if (const auto desktop = X11Property::values32(X11Property::receive(c, desktopCookie));
        !desktop.empty())
        list.m_currentDesktop = desktop.front();

    const xcb_atom_t pidAtom = connection.atom("_NET_WM_PID");
    const xcb_atom_t typeAtom = connection.atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t stateAtom = connection.atom("_NET_WM_STATE");
    const xcb_atom_t wmStateAtom = connection.atom("WM_STATE");
    const xcb_atom_t desktopAtom = connection.atom("_NET_WM_DESKTOP");
    const xcb_atom_t iconAtom = connection.atom("_NET_WM_ICON");
    std::vector<WindowCookies> cookies;
    cookies.reserve(clients.size());
    for (xcb_window_t window : clients) {
        xcb_res_client_id_spec_t clientID{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        cookies.push_back({X11Property::request(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                           X11Property::request(c, window, pidAtom, XCB_ATOM_CARDINAL, 1),
                           X11Property::request(c, window, typeAtom, XCB_ATOM_ATOM, 16),
                           X11Property::request(c, window, stateAtom, XCB_ATOM_ATOM, 32),
                           X11Property::request(c, window, wmStateAtom, wmStateAtom, 2),
                           X11Property::request(c, window, desktopAtom, XCB_ATOM_CARDINAL, 1),
                           iconLengths
                               ? X11Property::request(c, window, iconAtom, XCB_ATOM_CARDINAL, 0)
                               : xcb_get_property_cookie_t{0},
                           xcb_res_query_client_ids(c, 1, &clientID)});
    }

    const xcb_atom_t skipTaskbar = connection.atom("_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t hiddenState = connection.atom("_NET_WM_STATE_HIDDEN");
    const xcb_atom_t fullScreenState = connection.atom("_NET_WM_STATE_FULLSCREEN");
    const xcb_atom_t maxVert = connection.atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const xcb_atom_t maxHorz = connection.atom("_NET_WM_STATE_MAXIMIZED_HORZ");

    std::map<std::string, std::size_t> byClass;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const WindowCookies& cookie = cookies[i];
        Window window;
        window.id = clients[i];
        {
            const auto wmClass = X11Property::receive(c, cookie.wmClass);
            window.wmClass = X11Property::wmClass(wmClass);
            window.wmInstance = X11Property::wmInstance(wmClass);
        }
        if (const auto pid = X11Property::values32(X11Property::receive(c, cookie.pid));
            !pid.empty())
            window.netPid = static_cast<ProcessID>(pid.front());
        const auto types = X11Property::values32(X11Property::receive(c, cookie.type));
        const auto states = X11Property::values32(X11Property::receive(c, cookie.state));
        const auto wmState = X11Property::values32(X11Property::receive(c, cookie.wmState));
        const auto desktop = X11Property::values32(X11Property::receive(c, cookie.desktop));
        if (iconLengths)
            window.iconLength = X11Property::length32(X11Property::receive(c, cookie.icon));
        window.clientPid = clientPid(c, cookie.client);

        const X11WindowType::Kind kind = X11WindowType::classify(connection, types);
        window.type = kind;
        window.dock = kind == X11WindowType::Kind::dock;
        window.desktop = kind == X11WindowType::Kind::desktop;
        window.dialog = kind == X11WindowType::Kind::dialog;
        window.normal =
            kind == X11WindowType::Kind::normal && !X11Property::contains(states, skipTaskbar);
        window.iconic = (!wmState.empty() && wmState.front() == iconicState) ||
                        X11Property::contains(states, hiddenState);
        window.fullScreen = X11Property::contains(states, fullScreenState);
        window.maximizedVertically = X11Property::contains(states, maxVert);
        window.maximizedHorizontally = X11Property::contains(states, maxHorz);
        if (!desktop.empty())
            window.desktopIndex = desktop.front();
        if (window.wmClass.empty())
            continue; // nothing to group it by

        auto [found, inserted] = byClass.emplace(window.wmClass, list.m_applications.size());
        if (inserted)
            list.m_applications.push_back({window.wmClass, 0, false, false, {}, {}});
        list.m_applications[found->second].windows.push_back(std::move(window));
    }

    // Process identifiers: the first window's own, else its client's, when no other
    // application claims the same one.
    std::map<ProcessID, int> claims;
    std::vector<ProcessID> candidates;
    for (Application& app : list.m_applications) {
        const Window& first = app.windows.front();
        const ProcessID candidate = first.netPid > 0 ? first.netPid : first.clientPid;
        candidates.push_back(candidate);
        if (candidate > 0)
            ++claims[candidate];
    }
    for (std::size_t i = 0; i < list.m_applications.size(); ++i) {
        Application& app = list.m_applications[i];
        const ProcessID candidate = candidates[i];
        app.pid = candidate > 0 && claims[candidate] == 1 ? candidate : syntheticPid(app.wmClass);
        app.own = std::any_of(app.windows.begin(), app.windows.end(), [&](const Window& w) {
            return w.netPid == ownPid || w.clientPid == ownPid;
        });
        app.regular = !app.own && std::any_of(app.windows.begin(), app.windows.end(),
                                              [](const Window& w) { return w.normal; });
        for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
            if (std::any_of(app.windows.begin(), app.windows.end(),
                            [&](const Window& w) { return w.id == *it; }))
                app.stackedWindows.push_back(*it);
        }
        for (const Window& w : app.windows) {
            if (std::find(app.stackedWindows.begin(), app.stackedWindows.end(), w.id) ==
                app.stackedWindows.end())
                app.stackedWindows.push_back(w.id);
        }
    }
    return list;
}

const X11ClientList::Application* X11ClientList::find(ProcessID pid) const {
    for (const Application& app : m_applications) {
        if (app.pid == pid)
            return &app;
    }
    return nullptr;
}

const X11ClientList::Application* X11ClientList::owner(xcb_window_t window) const {
    for (const Application& app : m_applications) {
        for (const Window& w : app.windows) {
            if (w.id == window)
                return &app;
        }
    }
    return nullptr;
}

const X11ClientList::Window* X11ClientList::window(xcb_window_t window) const {
    for (const Application& app : m_applications) {
        for (const Window& w : app.windows) {
            if (w.id == window)
                return &w;
        }
    }
    return nullptr;
}

xcb_window_t X11ClientList::mainWindow(const Application& application) const {
    for (const Window& w : application.windows) {
        if (w.id == m_activeWindow)
            return w.id;
    }
    // Openbox keeps a minimised window above its siblings in the stacking order, so the topmost
    // one may be minimised while another is in use.
    for (xcb_window_t id : application.stackedWindows) {
        if (const Window* w = window(id); w && !w->iconic)
            return id;
    }
    return application.stackedWindows.empty() ? XCB_NONE : application.stackedWindows.front();
}

ProcessID X11ClientList::syntheticPid(const std::string& wmClass) {
    // FNV-1a: stable across runs and threads, so no table needs sharing.
    std::uint32_t hash = 2166136261u;
    for (unsigned char ch : wmClass) {
        hash ^= ch;
        hash *= 16777619u;
    }
    return -1 - static_cast<ProcessID>(hash & 0x3FFFFFFF);
}

} // namespace halvo
