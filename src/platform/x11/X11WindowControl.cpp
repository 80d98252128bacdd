// Window reads answered from EWMH and ICCCM properties in batches, changes sent to the window
// manager as client messages.
#include "platform/x11/X11WindowControl.h"

#include "platform/x11/X11ClientList.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/X11WindowType.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace halvo {
namespace {

constexpr std::uint32_t iconicState = 3;      // WM_STATE of an iconified window
constexpr std::uint32_t sourcePager = 2;      // EWMH source indication: a pager or taskbar
constexpr std::uint32_t gravityNorthWest = 1; // x, y are the frame's outer top-left corner
constexpr std::uint32_t stateRemove = 0;
constexpr std::uint32_t stateAdd = 1;
constexpr std::uint32_t minSizeHint = 16;
constexpr std::uint32_t maxSizeHint = 32;

template <typename T> using Owned = std::unique_ptr<T, X11Property::FreeDeleter>;

struct PlacementCookies {
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t translate;
    xcb_get_property_cookie_t extents, hints;
};

bool sameOrigin(const Rect& a, Point b) {
    return std::abs(a.x - b.x) < 1 && std::abs(a.y - b.y) < 1;
}

// Minimum and maximum size hints that are equal: the window cannot be resized.
bool fixedSize(const std::vector<std::uint32_t>& hints) {
    return hints.size() >= 9 && (hints[0] & minSizeHint) && (hints[0] & maxSizeHint) &&
           hints[5] == hints[7] && hints[6] == hints[8];
}

// Without _NET_WM_ALLOWED_ACTIONS the window manager restricts nothing.
bool allows(const X11Property::Reply& allowed, xcb_atom_t action) {
    if (!allowed || allowed->format != 32)
        return true;
    return X11Property::contains(X11Property::values32(allowed), action);
}

WindowInfo::Kind kindOf(X11WindowType::Kind type) {
    switch (type) {
    case X11WindowType::Kind::normal:
        return WindowInfo::Kind::normal;
    case X11WindowType::Kind::dialog:
        return WindowInfo::Kind::dialog;
    case X11WindowType::Kind::dock:
    case X11WindowType::Kind::desktop:
        return WindowInfo::Kind::desktop;
    case X11WindowType::Kind::other:
        break;
    }
    return WindowInfo::Kind::other;
}

template <typename Reply> Owned<Reply> take(Reply* reply, xcb_generic_error_t* error) {
    free(error);
    return Owned<Reply>(reply);
}

} // namespace

struct X11WindowControl::Placement {
    Rect rootFrame; // outer frame, root coordinates
    Chrome chrome;  // what the window manager puts around the client
    std::vector<std::uint32_t> normalHints;
    double chromeWidth() const { return chrome.left + chrome.right + 2.0 * chrome.border; }
    double chromeHeight() const { return chrome.top + chrome.bottom + 2.0 * chrome.border; }
};

X11WindowControl::X11WindowControl(X11Connection& connection, ProcessID ownPid, Log* log)
    : m_connection(connection), m_ownPid(ownPid), m_tiling(m_connection, log),
      m_mainThread(std::this_thread::get_id()), m_main(connection) {
    m_note = m_main.addNote([this](const xcb_generic_event_t& event) { noteEvent(event); });
}

X11WindowControl::~X11WindowControl() {
    m_main.removeNote(m_note);
}

void X11WindowControl::noteEvent(const xcb_generic_event_t& event) {
    if (m_confirmedCheck == XCB_NONE)
        return;
    const auto type = event.response_type & 0x7f;
    if (type == XCB_DESTROY_NOTIFY &&
        reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == m_confirmedCheck)
        m_confirmedCheck = XCB_NONE;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (notify.window == m_main.root() &&
            (notify.atom == m_checkAtom || notify.atom == m_supportedAtom))
            m_confirmedCheck = XCB_NONE;
    }
}

bool X11WindowControl::isWindowManagerRunning() {
    if (std::this_thread::get_id() != m_mainThread)
        return checkWindowManager();
    // A confirmed check stays true until the check window goes or the root names another; the
    // events that would say so are taken in first, without waiting for any.
    m_main.takeAvailableEvents();
    if (m_confirmedCheck != XCB_NONE)
        return true;
    return checkWindowManager();
}

bool X11WindowControl::checkWindowManager() {
    xcb_connection_t* c = m_connection.xcb();
    const xcb_window_t root = m_connection.root();
    const xcb_atom_t check = m_connection.atom("_NET_SUPPORTING_WM_CHECK");
    const auto checkCookie = X11Property::request(c, root, check, XCB_ATOM_WINDOW, 1);
    const auto supportedCookie =
        X11Property::request(c, root, m_connection.atom("_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    const auto rootCheck = X11Property::values32(X11Property::receive(c, checkCookie));
    const auto supported = X11Property::values32(X11Property::receive(c, supportedCookie));
    if (rootCheck.empty() ||
        !X11Property::contains(supported, m_connection.atom("_NET_ACTIVE_WINDOW")) ||
        !X11Property::contains(supported, m_connection.atom("_NET_CLIENT_LIST")))
        return false;
    // On the main thread the check window is watched before it is read: its DestroyNotify, or
    // a change of the root's properties, ends the confirmation.
    const bool keep = std::this_thread::get_id() == m_mainThread;
    if (keep)
        watchCheck(rootCheck.front());
    // A stale property left by a window manager that is gone names a window that no longer
    // names itself.
    const auto childCheck = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, rootCheck.front(), check, XCB_ATOM_WINDOW, 1)));
    const bool running = !childCheck.empty() && childCheck.front() == rootCheck.front();
    if (keep && running)
        m_confirmedCheck = rootCheck.front();
    return running;
}

void X11WindowControl::watchCheck(xcb_window_t checkWindow) {
    xcb_connection_t* c = m_main.xcb();
    if (!m_watchingRoot) {
        // Add PropertyChange to whatever this connection already selects on the root.
        auto* attributes = xcb_get_window_attributes_reply(
            c, xcb_get_window_attributes(c, m_main.root()), nullptr);
        const std::uint32_t mask =
            (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        free(attributes);
        xcb_change_window_attributes(c, m_main.root(), XCB_CW_EVENT_MASK, &mask);
        m_checkAtom = m_main.atom("_NET_SUPPORTING_WM_CHECK");
        m_supportedAtom = m_main.atom("_NET_SUPPORTED");
        m_watchingRoot = true;
    }
    // Checked: a window already gone must not put an error in the event queue.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_discard_reply(
        c, xcb_change_window_attributes_checked(c, checkWindow, XCB_CW_EVENT_MASK, &mask).sequence);
}

std::optional<AppWindows> X11WindowControl::windows(ProcessID pid) {
    xcb_connection_t* c = m_connection.xcb();
    // Sent first, this rides with the client list's first round.
    const auto supportedCookie = X11Property::request(
        c, m_connection.root(), m_connection.atom("_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    const X11ClientList list = X11ClientList::read(m_connection, m_ownPid);
    const auto supported = X11Property::values32(X11Property::receive(c, supportedCookie));
    const X11ClientList::Application* app = list.find(pid);
    if (!app)
        return std::nullopt;

    const xcb_atom_t allowedAtom = m_connection.atom("_NET_WM_ALLOWED_ACTIONS");
    std::vector<xcb_get_property_cookie_t> allowedCookies;
    for (xcb_window_t window : app->stackedWindows)
        allowedCookies.push_back(X11Property::request(c, window, allowedAtom, XCB_ATOM_ATOM, 32));
    const auto placements = readPlacements(app->stackedWindows);

    const bool fullScreenSupported =
        X11Property::contains(supported, m_connection.atom("_NET_WM_STATE_FULLSCREEN"));
    const xcb_atom_t moveAction = m_connection.atom("_NET_WM_ACTION_MOVE");
    const xcb_atom_t resizeAction = m_connection.atom("_NET_WM_ACTION_RESIZE");
    const xcb_atom_t fullScreenAction = m_connection.atom("_NET_WM_ACTION_FULLSCREEN");
    AppWindows result;
    for (std::size_t i = 0; i < app->stackedWindows.size(); ++i) {
        const X11Property::Reply allowed = X11Property::receive(c, allowedCookies[i]);
        const X11ClientList::Window* listed = list.window(app->stackedWindows[i]);
        WindowInfo info;
        info.id = app->stackedWindows[i];
        info.kind = kindOf(listed->type);
        info.minimized = listed->iconic;
        info.fullScreen = listed->fullScreen;
        info.maximizedHorizontally = listed->maximizedHorizontally;
        info.maximizedVertically = listed->maximizedVertically;
        // A window that vanished meanwhile keeps an empty frame and allows nothing.
        if (placements[i]) {
            info.frame = placements[i]->rootFrame;
            info.canMove = allows(allowed, moveAction);
            info.canResize =
                allows(allowed, resizeAction) && !fixedSize(placements[i]->normalHints);
            info.canFullScreen = fullScreenSupported && allows(allowed, fullScreenAction);
        }
        result.windows.push_back(info);
    }
    if (const xcb_window_t main = list.mainWindow(*app); main != XCB_NONE) {
        result.main = main;
        // The active window when it is the application's, else the one activation would focus.
        result.focused = main;
    }
    return result;
}

X11WindowControl::Placement
X11WindowControl::placement(const xcb_get_geometry_reply_t& geometry,
                            const xcb_translate_coordinates_reply_t& translated,
                            const std::vector<std::uint32_t>& extents) {
    Placement result;
    if (extents.size() == 4)
        result.chrome = {extents[0], extents[1], extents[2], extents[3], 0};
    result.chrome.border = geometry.border_width;
    const Chrome& chrome = result.chrome;
    result.rootFrame = {double(translated.dst_x) - chrome.left - chrome.border,
                        double(translated.dst_y) - chrome.top - chrome.border,
                        geometry.width + result.chromeWidth(),
                        geometry.height + result.chromeHeight()};
    return result;
}

std::vector<std::optional<X11WindowControl::Placement>>
X11WindowControl::readPlacements(const std::vector<xcb_window_t>& windows) {
    xcb_connection_t* c = m_connection.xcb();
    const xcb_atom_t extentsAtom = m_connection.atom("_NET_FRAME_EXTENTS");
    std::vector<PlacementCookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t window : windows)
        cookies.push_back({xcb_get_geometry(c, window),
                           xcb_translate_coordinates(c, window, m_connection.root(), 0, 0),
                           X11Property::request(c, window, extentsAtom, XCB_ATOM_CARDINAL, 4),
                           X11Property::request(c, window, XCB_ATOM_WM_NORMAL_HINTS,
                                                XCB_ATOM_WM_SIZE_HINTS, 18)});
    std::vector<std::optional<Placement>> placements;
    placements.reserve(windows.size());
    for (const PlacementCookies& cookie : cookies) {
        xcb_generic_error_t* error = nullptr;
        const auto geometry = take(xcb_get_geometry_reply(c, cookie.geometry, &error), error);
        error = nullptr;
        const auto translated =
            take(xcb_translate_coordinates_reply(c, cookie.translate, &error), error);
        const auto extents = X11Property::values32(X11Property::receive(c, cookie.extents));
        auto hints = X11Property::values32(X11Property::receive(c, cookie.hints));
        if (!geometry || !translated) {
            placements.emplace_back();
            continue;
        }
        placements.push_back(placement(*geometry, *translated, extents));
        placements.back()->normalHints = std::move(hints);
    }
    return placements;
}

WindowResult X11WindowControl::raise(const WindowInfo& window) {
    m_connection.sendToRoot(static_cast<xcb_window_t>(window.id),
                            m_connection.atom("_NET_RESTACK_WINDOW"), sourcePager, XCB_NONE,
                            XCB_STACK_MODE_ABOVE);
    return WindowResult::ok;
}

WindowResult X11WindowControl::activate(const WindowInfo& window) {
    activateWindow(static_cast<xcb_window_t>(window.id));
    return WindowResult::ok;
}

WindowResult X11WindowControl::setMinimized(const WindowInfo& info, bool minimize) {
    if (minimize == info.minimized)
        return WindowResult::ok;
    const auto window = static_cast<xcb_window_t>(info.id);
    if (minimize)
        m_connection.sendToRoot(window, m_connection.atom("WM_CHANGE_STATE"), iconicState, 0, 0);
    else
        activateWindow(window);
    // Raising an application happens on the main thread, which must not wait for the window
    // manager; workers wait so that what they read next sees the result.
    if (std::this_thread::get_id() == m_mainThread)
        return WindowResult::ok;
    xcb_connection_t* c = m_connection.xcb();
    const xcb_atom_t wmStateAtom = m_connection.atom("WM_STATE");
    const xcb_atom_t stateAtom = m_connection.atom("_NET_WM_STATE");
    const xcb_atom_t hidden = m_connection.atom("_NET_WM_STATE_HIDDEN");
    bool gone = false;
    const bool done = settle([&] {
        const auto wmCookie = X11Property::request(c, window, wmStateAtom, wmStateAtom, 2);
        const auto stateCookie = X11Property::request(c, window, stateAtom, XCB_ATOM_ATOM, 32);
        const auto wmState = X11Property::values32(X11Property::receive(c, wmCookie, &gone));
        const auto states = X11Property::values32(X11Property::receive(c, stateCookie, &gone));
        const bool iconic = (!wmState.empty() && wmState.front() == iconicState) ||
                            X11Property::contains(states, hidden);
        return gone || iconic == minimize;
    });
    if (gone)
        return WindowResult::gone;
    return done ? WindowResult::ok : WindowResult::failed;
}

WindowResult X11WindowControl::setFrame(const WindowInfo& info, const Rect& frame) {
    if (!info.canMove)
        return WindowResult::refused;
    const auto window = static_cast<xcb_window_t>(info.id);
    // One round for everything the request is made of: the messages the window manager takes,
    // and the window's chrome and size hints as they are now.
    xcb_connection_t* c = m_connection.xcb();
    const auto supportedCookie = X11Property::request(
        c, m_connection.root(), m_connection.atom("_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    const auto now = readPlacements({window}).front();
    const bool moveResizeSupported =
        X11Property::contains(X11Property::values32(X11Property::receive(c, supportedCookie)),
                              m_connection.atom("_NET_MOVERESIZE_WINDOW"));
    if (!now)
        return WindowResult::gone;

    const bool maximized = info.maximizedVertically || info.maximizedHorizontally;
    // A maximised axis takes its length from the monitor once maximised again there; the other
    // axis is resized like any window's.
    const bool resizeWidth = frame.width != info.frame.width && !info.maximizedHorizontally;
    const bool resizeHeight = frame.height != info.frame.height && !info.maximizedVertically;
    const Point root{double(std::lround(frame.x)), double(std::lround(frame.y))};
    // Window managers that place windows themselves move them their own way. Their maximised
    // states describe the layout (i3 4.24 marks a tile that fills its workspace so) and are
    // theirs to keep: a request to leave them is ignored, and the move would end there.
    if (const auto placed = m_tiling.place(window, root);
        placed != X11TilingPlacement::Outcome::notHandled)
        return placed == X11TilingPlacement::Outcome::moved ? WindowResult::ok
                                                            : WindowResult::refused;

    const xcb_atom_t maxVert = m_connection.atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const xcb_atom_t maxHorz = m_connection.atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    if (maximized) {
        // Moved while maximised, the window's restore geometry would stay on the old monitor.
        if (const WindowResult result = changeState(window, false, maxVert, maxHorz);
            result != WindowResult::ok)
            return result;
    }
    if (moveResizeSupported) {
        std::uint32_t flags = gravityNorthWest | (sourcePager << 12) | (1u << 8) | (1u << 9);
        flags |= (resizeWidth ? 1u << 10 : 0) | (resizeHeight ? 1u << 11 : 0);
        // The request names the client's size; the frame adds decorations and borders.
        const auto content = [](double outer, double chrome) {
            return static_cast<std::uint32_t>(std::max(1.0, std::round(outer - chrome)));
        };
        m_connection.sendToRoot(window, m_connection.atom("_NET_MOVERESIZE_WINDOW"), flags,
                                static_cast<std::uint32_t>(root.x),
                                static_cast<std::uint32_t>(root.y),
                                resizeWidth ? content(frame.width, now->chromeWidth()) : 0,
                                resizeHeight ? content(frame.height, now->chromeHeight()) : 0);
    } else {
        const Rect outer{root.x, root.y, resizeWidth ? frame.width : now->rootFrame.width,
                         resizeHeight ? frame.height : now->rootFrame.height};
        X11ConfigureRequest::send(
            c, window,
            X11ConfigureRequest::forFrame(outer, now->chrome,
                                          X11ConfigureRequest::gravity(now->normalHints)),
            true, resizeWidth || resizeHeight);
    }
    bool gone = false;
    const bool landed = settle([&] {
        const auto moved = readPlacements({window}).front();
        gone = !moved;
        return gone || sameOrigin(moved->rootFrame, root);
    });
    if (gone)
        return WindowResult::gone;
    if (!landed)
        m_tiling.reportIgnored(window, root);
    if (maximized)
        return changeState(window, true,
                           info.maximizedVertically ? maxVert : xcb_atom_t{XCB_ATOM_NONE},
                           info.maximizedHorizontally ? maxHorz : xcb_atom_t{XCB_ATOM_NONE});
    return WindowResult::ok;
}

WindowResult X11WindowControl::setFullScreen(const WindowInfo& window, bool fullScreen) {
    if (!window.canFullScreen)
        return WindowResult::refused;
    return changeState(static_cast<xcb_window_t>(window.id), fullScreen,
                       m_connection.atom("_NET_WM_STATE_FULLSCREEN"), XCB_ATOM_NONE);
}

WindowResult X11WindowControl::changeState(xcb_window_t window, bool add, xcb_atom_t first,
                                           xcb_atom_t second) {
    if (first == XCB_ATOM_NONE) {
        first = second;
        second = XCB_ATOM_NONE;
    }
    const xcb_atom_t stateAtom = m_connection.atom("_NET_WM_STATE");
    m_connection.sendToRoot(window, stateAtom, add ? stateAdd : stateRemove, first, second,
                            sourcePager);
    xcb_connection_t* c = m_connection.xcb();
    bool gone = false;
    // Waiting keeps quick requests in order (the next sees the state this one left), and tells
    // a request the window manager ignores from one it honoured.
    const bool done = settle(
        [&] {
            const auto states = X11Property::values32(X11Property::receive(
                c, X11Property::request(c, window, stateAtom, XCB_ATOM_ATOM, 32), &gone));
            if (gone)
                return true;
            const bool firstDone = X11Property::contains(states, first) == add;
            const bool secondDone =
                second == XCB_ATOM_NONE || X11Property::contains(states, second) == add;
            return firstDone && secondDone;
        },
        stateTimeout);
    if (gone)
        return WindowResult::gone;
    return done ? WindowResult::ok : WindowResult::failed;
}

void X11WindowControl::activateWindow(xcb_window_t window) {
    xcb_connection_t* c = m_connection.xcb();
    const auto active = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, m_connection.root(), m_connection.atom("_NET_ACTIVE_WINDOW"),
                                XCB_ATOM_WINDOW, 1)));
    m_connection.sendToRoot(window, m_connection.atom("_NET_ACTIVE_WINDOW"), sourcePager,
                            timestamp(), active.empty() ? XCB_NONE : active.front());
}

xcb_timestamp_t X11WindowControl::timestamp() {
    // serverTime() reads events, which only the main thread may do.
    return std::this_thread::get_id() == m_mainThread ? m_connection.serverTime()
                                                      : XCB_CURRENT_TIME;
}

template <typename Pred> bool X11WindowControl::settle(Pred done, double timeout) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace halvo
