// Pipelined enumeration of the managed client windows.
#include "platform/x11/X11ClientList.h"

#include "platform/x11/X11ClientProperties.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/X11WindowType.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <xcb/res.h>

namespace halvo {
namespace {

constexpr std::uint32_t iconicState = 3; // WM_STATE value of an iconified window

using Field = X11ClientProperties::Field;

// One window's part of a read: what is asked for (its stale fields) and the cookies.
struct WindowRead {
    xcb_window_t window;
    X11ClientProperties::Values* values;
    std::uint8_t asked;
    struct {
        xcb_get_property_cookie_t wmClass, pid, type, state, wmState, desktop, icon;
        xcb_res_query_client_ids_cookie_t client;
    } cookies;
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

void request(xcb_connection_t* c, const X11ClientProperties& atoms, WindowRead& read) {
    const xcb_window_t w = read.window;
    auto& cookies = read.cookies;
    if (read.asked & Field::wmClassField)
        cookies.wmClass = X11Property::request(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256);
    if (read.asked & Field::pidField)
        cookies.pid = X11Property::request(c, w, atoms.pidAtom, XCB_ATOM_CARDINAL, 1);
    if (read.asked & Field::typeField)
        cookies.type = X11Property::request(c, w, atoms.typeAtom, XCB_ATOM_ATOM, 16);
    if (read.asked & Field::stateField)
        cookies.state = X11Property::request(c, w, atoms.stateAtom, XCB_ATOM_ATOM, 32);
    if (read.asked & Field::wmStateField)
        cookies.wmState = X11Property::request(c, w, atoms.wmStateAtom, atoms.wmStateAtom, 2);
    if (read.asked & Field::desktopField)
        cookies.desktop = X11Property::request(c, w, atoms.desktopAtom, XCB_ATOM_CARDINAL, 1);
    if (read.asked & Field::iconField)
        cookies.icon = X11Property::request(c, w, atoms.iconAtom, XCB_ATOM_CARDINAL, 0);
    if (read.asked & Field::clientField) {
        xcb_res_client_id_spec_t clientID{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        cookies.client = xcb_res_query_client_ids(c, 1, &clientID);
    }
}

// Decodes the replies into the window's values; what was asked for is current afterwards.
void receive(X11Connection& connection, const X11ClientProperties& atoms, WindowRead& read) {
    xcb_connection_t* c = connection.xcb();
    X11ClientProperties::Values& v = *read.values;
    const auto& cookies = read.cookies;
    if (read.asked & Field::wmClassField) {
        const auto wmClass = X11Property::receive(c, cookies.wmClass);
        v.wmClass = X11Property::wmClass(wmClass);
        v.wmInstance = X11Property::wmInstance(wmClass);
    }
    if (read.asked & Field::pidField) {
        const auto pid = X11Property::values32(X11Property::receive(c, cookies.pid));
        v.netPid = pid.empty() ? 0 : static_cast<ProcessID>(pid.front());
    }
    if (read.asked & Field::typeField)
        v.kind = X11WindowType::classify(
            connection, X11Property::values32(X11Property::receive(c, cookies.type)));
    if (read.asked & Field::stateField) {
        const auto states = X11Property::values32(X11Property::receive(c, cookies.state));
        v.skipTaskbar = X11Property::contains(states, atoms.skipTaskbarAtom);
        v.hiddenState = X11Property::contains(states, atoms.hiddenAtom);
        v.fullScreen = X11Property::contains(states, atoms.fullScreenAtom);
        v.maximizedVertically = X11Property::contains(states, atoms.maxVertAtom);
        v.maximizedHorizontally = X11Property::contains(states, atoms.maxHorzAtom);
    }
    if (read.asked & Field::wmStateField) {
        const auto wmState = X11Property::values32(X11Property::receive(c, cookies.wmState));
        v.iconicWmState = !wmState.empty() && wmState.front() == iconicState;
    }
    if (read.asked & Field::desktopField) {
        const auto desktop = X11Property::values32(X11Property::receive(c, cookies.desktop));
        v.desktopIndex = desktop.empty() ? X11ClientList::allDesktops : desktop.front();
    }
    if (read.asked & Field::iconField)
        v.iconLength = X11Property::length32(X11Property::receive(c, cookies.icon));
    if (read.asked & Field::clientField)
        v.clientPid = clientPid(c, cookies.client);
    v.stale &= static_cast<std::uint8_t>(~read.asked);
}

} // namespace

bool X11ClientList::Application::hidden() const {
    return !windows.empty() &&
           std::all_of(windows.begin(), windows.end(), [](const Window& w) { return w.iconic; });
}

X11ClientList::RootRequest X11ClientList::requestRoot(X11Connection& connection) {
    xcb_connection_t* c = connection.xcb();
    const xcb_window_t root = connection.root();
    return {
        X11Property::request(c, root, connection.atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096),
        X11Property::request(c, root, connection.atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW,
                             4096),
        X11Property::request(c, root, connection.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 1),
        X11Property::request(c, root, connection.atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL,
                             1),
    };
}

X11ClientList::Root X11ClientList::receiveRoot(X11Connection& connection,
                                               const RootRequest& request) {
    xcb_connection_t* c = connection.xcb();
    Root root;
    root.clients = X11Property::values32(X11Property::receive(c, request.clients));
    root.stacking = X11Property::values32(X11Property::receive(c, request.stacking));
    if (const auto active = X11Property::values32(X11Property::receive(c, request.active));
        !active.empty())
        root.activeWindow = active.front();
    if (const auto desktop = X11Property::values32(X11Property::receive(c, request.desktop));
        !desktop.empty())
        root.currentDesktop = desktop.front();
    return root;
}

X11ClientList X11ClientList::read(X11Connection& connection, ProcessID ownPid, bool iconLengths) {
    return read(connection, receiveRoot(connection, requestRoot(connection)), ownPid, iconLengths);
}

X11ClientList X11ClientList::read(X11Connection& connection, Root root, ProcessID ownPid,
                                  bool iconLengths) {
    static std::atomic<std::uint64_t> generations = 0;
    xcb_connection_t* c = connection.xcb();
    X11ClientList list;
    list.m_root = std::move(root);
    list.m_windowsGeneration = ++generations;
    const std::vector<std::uint32_t>& clients = list.m_root.clients;

    // Without kept values (another thread, or a connection whose events nobody hears) every
    // window is read afresh.
    X11ClientProperties* kept = connection.clientProperties();
    std::optional<X11ClientProperties> fresh;
    if (!kept)
        fresh.emplace(connection);
    X11ClientProperties& properties = kept ? *kept : *fresh;
    // The root replies are in: every property change sent before them is in xcb's queue now.
    if (kept)
        connection.takeQueuedEvents();

    std::uint8_t wanted = X11ClientProperties::allFields;
    if (!iconLengths)
        wanted &= static_cast<std::uint8_t>(~X11ClientProperties::iconField);
    std::vector<WindowRead> reads;
    reads.reserve(clients.size());
    for (xcb_window_t window : clients) {
        bool created = false;
        WindowRead read{window, &properties.entry(window, created), 0, {}};
        if (created && kept) {
            // Watched before it is read, so no change after the read goes unheard. Checked: a
            // window that is already gone must not put an error in the event queue.
            const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_discard_reply(
                c,
                xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, &mask).sequence);
        }
        read.asked = read.values->stale & wanted;
        request(c, properties, read);
        reads.push_back(read);
    }
    for (WindowRead& read : reads)
        receive(connection, properties, read);
    if (kept)
        properties.keepOnly(clients);

    std::map<std::string, std::size_t> byClass;
    for (const WindowRead& read : reads) {
        const X11ClientProperties::Values& values = *read.values;
        if (values.wmClass.empty())
            continue; // nothing to group it by
        Window window;
        window.id = read.window;
        window.wmClass = values.wmClass;
        window.wmInstance = values.wmInstance;
        window.netPid = values.netPid;
        window.clientPid = values.clientPid;
        window.type = values.kind;
        window.dock = values.kind == X11WindowType::Kind::dock;
        window.desktop = values.kind == X11WindowType::Kind::desktop;
        window.dialog = values.kind == X11WindowType::Kind::dialog;
        window.normal = values.kind == X11WindowType::Kind::normal && !values.skipTaskbar;
        window.iconic = values.iconicWmState || values.hiddenState;
        window.fullScreen = values.fullScreen;
        window.maximizedVertically = values.maximizedVertically;
        window.maximizedHorizontally = values.maximizedHorizontally;
        window.desktopIndex = values.desktopIndex;
        window.iconLength = iconLengths ? values.iconLength : 0;

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
    }
    list.stackWindows();
    return list;
}

X11ClientList X11ClientList::restacked(const Root& root) const {
    X11ClientList list = *this;
    list.m_root.stacking = root.stacking;
    list.m_root.activeWindow = root.activeWindow;
    list.m_root.currentDesktop = root.currentDesktop;
    for (Application& app : list.m_applications)
        app.stackedWindows.clear();
    list.stackWindows();
    return list;
}

bool X11ClientList::madeFrom(const Root& root) const {
    return m_root.clients == root.clients && m_root.stacking == root.stacking &&
           m_root.activeWindow == root.activeWindow && m_root.currentDesktop == root.currentDesktop;
}

void X11ClientList::stackWindows() {
    const std::vector<std::uint32_t>& stacking = m_root.stacking;
    // One pass over the stacking order (bottom first) with each window's application at hand;
    // a search of every application's windows per stacked window cost 200 × 200 comparisons.
    std::unordered_map<xcb_window_t, std::size_t> appOf;
    for (std::size_t i = 0; i < m_applications.size(); ++i) {
        for (const Window& w : m_applications[i].windows)
            appOf.emplace(w.id, i);
    }
    std::unordered_set<xcb_window_t> stacked;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        const auto found = appOf.find(*it);
        if (found != appOf.end() && stacked.insert(*it).second)
            m_applications[found->second].stackedWindows.push_back(*it);
    }
    // Windows the stacking order lacks go last, in client-list order.
    for (Application& app : m_applications) {
        for (const Window& w : app.windows) {
            if (stacked.insert(w.id).second)
                app.stackedWindows.push_back(w.id);
        }
    }
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
        if (w.id == m_root.activeWindow)
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
