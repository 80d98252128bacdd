// Accessibility attributes answered from EWMH and ICCCM properties, writes sent to the window
// manager as client messages.
#include "platform/x11/X11Accessibility.h"

#include "platform/x11/X11ClientList.h"
#include "platform/x11/X11ConfigureRequest.h"
#include "platform/x11/X11Monitors.h"
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

bool sameOrigin(const Rect& a, Point b) {
    return std::abs(a.x - b.x) < 1 && std::abs(a.y - b.y) < 1;
}

} // namespace

struct X11Accessibility::WindowState {
    bool managed = false;
    bool normal = true;
    bool dialog = false;
    bool desktopOrDock = false;
    bool iconic = false;
    bool fullScreen = false;
    bool maximizedVert = false;
    bool maximizedHorz = false;
    bool hasAllowedActions = false;
    std::vector<std::uint32_t> allowedActions;
    bool fixedSize = false;
    Rect outerRoot;   // outer frame, root coordinates
    Rect primaryRoot; // primary monitor, root coordinates
    std::uint32_t extentsWidth = 0;
    std::uint32_t extentsHeight = 0;
    std::uint32_t border = 0;
    X11ConfigureRequest::Chrome chrome;
    std::uint32_t gravity = XCB_GRAVITY_NORTH_WEST; // WM_NORMAL_HINTS win_gravity
    Rect accessibilityFrame() const {
        return X11Monitors::rootToAccessibility(outerRoot, primaryRoot);
    }
};

X11Accessibility::X11Accessibility(X11Connection& connection, ProcessID ownPid, Log* log)
    : m_connection(connection), m_ownPid(ownPid), m_tiling(m_connection, log),
      m_mainThread(std::this_thread::get_id()) {}

bool X11Accessibility::isProcessTrusted() {
    // Trusted means an EWMH window manager is running that manages the client list and takes
    // activation requests: without one, nothing here can work.
    xcb_connection_t* c = m_connection.xcb();
    const xcb_atom_t check = m_connection.atom("_NET_SUPPORTING_WM_CHECK");
    const auto rootCheck = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, m_connection.root(), check, XCB_ATOM_WINDOW, 1)));
    if (rootCheck.empty())
        return false;
    const auto childCheck = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, rootCheck.front(), check, XCB_ATOM_WINDOW, 1)));
    if (childCheck.empty() || childCheck.front() != rootCheck.front())
        return false;
    return supports(m_connection.atom("_NET_ACTIVE_WINDOW")) &&
           supports(m_connection.atom("_NET_CLIENT_LIST"));
}

bool X11Accessibility::isProcessTrustedWithPrompt() {
    // There is no permission to ask for; a missing window manager is reported by the caller.
    return isProcessTrusted();
}

AXElement X11Accessibility::createApplication(ProcessID pid) {
    return {AXElement::Kind::application, pid, 0};
}

AXError X11Accessibility::setMessagingTimeout(const AXElement&, float seconds) {
    return seconds >= 0 ? kAXErrorSuccess : kAXErrorIllegalArgument;
}

AXError X11Accessibility::copyApplicationAttribute(ProcessID pid, std::string_view attribute,
                                                   AXValue& value) {
    const X11ClientList list = X11ClientList::read(m_connection, m_ownPid);
    const X11ClientList::Application* app = list.find(pid);
    if (!app)
        return kAXErrorCannotComplete;
    if (attribute == ax::role) {
        value = std::string("AXApplication");
        return kAXErrorSuccess;
    }
    if (attribute == ax::windows) {
        std::vector<AXElement> windows;
        for (xcb_window_t window : app->stackedWindows)
            windows.push_back({AXElement::Kind::window, pid, window});
        value = std::move(windows);
        return kAXErrorSuccess;
    }
    if (attribute == ax::mainWindow || attribute == ax::focusedWindow) {
        const xcb_window_t main = list.mainWindow(*app);
        if (main == XCB_NONE)
            return kAXErrorNoValue;
        value = AXElement{AXElement::Kind::window, pid, main};
        return kAXErrorSuccess;
    }
    return kAXErrorAttributeUnsupported;
}

AXError X11Accessibility::readWindow(xcb_window_t window, WindowState& state) {
    xcb_connection_t* c = m_connection.xcb();
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto translateCookie = xcb_translate_coordinates(c, window, m_connection.root(), 0, 0);
    const auto extentsCookie = X11Property::request(
        c, window, m_connection.atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
    const auto typeCookie = X11Property::request(
        c, window, m_connection.atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 16);
    const auto stateCookie =
        X11Property::request(c, window, m_connection.atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32);
    const xcb_atom_t wmStateAtom = m_connection.atom("WM_STATE");
    const auto wmStateCookie = X11Property::request(c, window, wmStateAtom, wmStateAtom, 2);
    const auto allowedCookie = X11Property::request(
        c, window, m_connection.atom("_NET_WM_ALLOWED_ACTIONS"), XCB_ATOM_ATOM, 32);
    const auto hintsCookie =
        X11Property::request(c, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 18);
    const auto listCookie = X11Property::request(
        c, m_connection.root(), m_connection.atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
    const auto monitorsCookie = X11Monitors::request(m_connection);

    xcb_generic_error_t* error = nullptr;
    Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, &error));
    free(error);
    error = nullptr;
    Owned<xcb_translate_coordinates_reply_t> translated(
        xcb_translate_coordinates_reply(c, translateCookie, &error));
    free(error);
    const auto extents = X11Property::values32(X11Property::receive(c, extentsCookie));
    const auto types = X11Property::values32(X11Property::receive(c, typeCookie));
    const auto states = X11Property::values32(X11Property::receive(c, stateCookie));
    const auto wmState = X11Property::values32(X11Property::receive(c, wmStateCookie));
    const X11Property::Reply allowed = X11Property::receive(c, allowedCookie);
    const auto hints = X11Property::values32(X11Property::receive(c, hintsCookie));
    const auto clients = X11Property::values32(X11Property::receive(c, listCookie));
    const auto monitors = X11Monitors::receive(m_connection, monitorsCookie);
    if (!geometry || !translated)
        return kAXErrorInvalidUIElement;

    state.managed = X11Property::contains(clients, window);
    const X11WindowType::Kind kind = X11WindowType::classify(m_connection, types);
    state.normal = kind == X11WindowType::Kind::normal;
    state.dialog = kind == X11WindowType::Kind::dialog;
    state.desktopOrDock = kind == X11WindowType::Kind::desktop || kind == X11WindowType::Kind::dock;
    state.iconic = (!wmState.empty() && wmState.front() == iconicState) ||
                   X11Property::contains(states, m_connection.atom("_NET_WM_STATE_HIDDEN"));
    state.fullScreen = X11Property::contains(states, m_connection.atom("_NET_WM_STATE_FULLSCREEN"));
    state.maximizedVert =
        X11Property::contains(states, m_connection.atom("_NET_WM_STATE_MAXIMIZED_VERT"));
    state.maximizedHorz =
        X11Property::contains(states, m_connection.atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
    state.hasAllowedActions = allowed && allowed->format == 32;
    state.allowedActions = X11Property::values32(allowed);
    state.fixedSize = hints.size() >= 9 && (hints[0] & minSizeHint) && (hints[0] & maxSizeHint) &&
                      hints[5] == hints[7] && hints[6] == hints[8];

    const std::uint32_t left = extents.size() == 4 ? extents[0] : 0;
    const std::uint32_t right = extents.size() == 4 ? extents[1] : 0;
    const std::uint32_t top = extents.size() == 4 ? extents[2] : 0;
    const std::uint32_t bottom = extents.size() == 4 ? extents[3] : 0;
    state.border = geometry->border_width;
    state.chrome = {left, right, top, bottom, state.border};
    state.gravity = X11ConfigureRequest::gravity(hints);
    state.extentsWidth = left + right;
    state.extentsHeight = top + bottom;
    state.outerRoot = {double(translated->dst_x) - left - state.border,
                       double(translated->dst_y) - top - state.border,
                       double(geometry->width) + left + right + 2.0 * state.border,
                       double(geometry->height) + top + bottom + 2.0 * state.border};
    state.primaryRoot = monitors.front().rootFrame;
    return kAXErrorSuccess;
}

AXError X11Accessibility::copyAttributeValue(const AXElement& element, std::string_view attribute,
                                             AXValue& value) {
    value = std::monostate{};
    if (element.kind == AXElement::Kind::application)
        return copyApplicationAttribute(element.pid, attribute, value);

    const auto window = static_cast<xcb_window_t>(element.window);
    WindowState state;
    if (const AXError status = readWindow(window, state); status != kAXErrorSuccess)
        return status;
    if (attribute == ax::role) {
        value = std::string(state.managed ? ax::windowRole : "AXUnknown");
    } else if (attribute == ax::subrole) {
        // Docks and desktops are part of the desktop, never windows to raise or move.
        value = std::string(state.desktopOrDock ? ax::desktopSubrole
                            : state.dialog      ? ax::dialogSubrole
                            : state.normal      ? ax::standardWindowSubrole
                                                : "AXFloatingWindow");
    } else if (attribute == ax::minimized) {
        value = state.iconic;
    } else if (attribute == ax::fullScreen) {
        if (!supports(m_connection.atom("_NET_WM_STATE_FULLSCREEN")))
            return kAXErrorAttributeUnsupported;
        value = state.fullScreen;
    } else if (attribute == ax::main) {
        const X11ClientList list = X11ClientList::read(m_connection, m_ownPid);
        const X11ClientList::Application* app = list.owner(window);
        value = app != nullptr && list.mainWindow(*app) == window;
    } else if (attribute == ax::position) {
        value = state.accessibilityFrame().origin();
    } else if (attribute == ax::size) {
        value = state.accessibilityFrame().size();
    } else {
        return kAXErrorAttributeUnsupported;
    }
    return kAXErrorSuccess;
}

AXError X11Accessibility::isAttributeSettable(const AXElement& element, std::string_view attribute,
                                              bool& settable) {
    settable = false;
    if (element.kind == AXElement::Kind::application) {
        if (!X11ClientList::read(m_connection, m_ownPid).find(element.pid))
            return kAXErrorCannotComplete;
        settable = attribute == ax::focusedWindow;
        return kAXErrorSuccess;
    }
    WindowState state;
    if (const AXError status = readWindow(static_cast<xcb_window_t>(element.window), state);
        status != kAXErrorSuccess)
        return status;
    const auto allows = [&](const char* action) {
        return !state.hasAllowedActions ||
               X11Property::contains(state.allowedActions, m_connection.atom(action));
    };
    if (attribute == ax::position) {
        settable = state.managed && allows("_NET_WM_ACTION_MOVE");
    } else if (attribute == ax::size) {
        settable = state.managed && allows("_NET_WM_ACTION_RESIZE") && !state.fixedSize;
    } else if (attribute == ax::fullScreen) {
        if (!supports(m_connection.atom("_NET_WM_STATE_FULLSCREEN")))
            return kAXErrorAttributeUnsupported;
        settable = state.managed && allows("_NET_WM_ACTION_FULLSCREEN");
    } else if (attribute == ax::minimized) {
        settable = state.managed && allows("_NET_WM_ACTION_MINIMIZE");
    } else if (attribute == ax::main) {
        settable = state.managed;
    }
    return kAXErrorSuccess;
}

AXError X11Accessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                            const AXValue& value) {
    if (element.kind == AXElement::Kind::application) {
        if (attribute != ax::focusedWindow || !std::holds_alternative<AXElement>(value))
            return kAXErrorAttributeUnsupported;
        const X11ClientList list = X11ClientList::read(m_connection, m_ownPid);
        const AXElement& target = std::get<AXElement>(value);
        const auto* app = list.find(element.pid);
        if (!app)
            return kAXErrorCannotComplete;
        if (list.owner(static_cast<xcb_window_t>(target.window)) != app)
            return kAXErrorIllegalArgument;
        activateWindow(static_cast<xcb_window_t>(target.window));
        return kAXErrorSuccess;
    }

    const auto window = static_cast<xcb_window_t>(element.window);
    WindowState state;
    if (const AXError status = readWindow(window, state); status != kAXErrorSuccess)
        return status;
    if (!state.managed)
        return kAXErrorCannotComplete;

    if (attribute == ax::minimized && std::holds_alternative<bool>(value)) {
        const bool minimize = std::get<bool>(value);
        if (minimize == state.iconic)
            return kAXErrorSuccess;
        if (minimize)
            m_connection.sendToRoot(window, m_connection.atom("WM_CHANGE_STATE"), iconicState, 0,
                                    0);
        else
            activateWindow(window);
        // Raising an application happens on the main thread, which must not wait for the window
        // manager; moves on a worker wait so that their read-back sees the result.
        if (std::this_thread::get_id() != m_mainThread) {
            settle([&] {
                WindowState now;
                return readWindow(window, now) != kAXErrorSuccess || now.iconic == minimize;
            });
        }
        return kAXErrorSuccess;
    }
    if (attribute == ax::main && std::holds_alternative<bool>(value)) {
        if (!std::get<bool>(value))
            return kAXErrorIllegalArgument;
        // The main window is the application's topmost: raising it makes it main.
        m_connection.sendToRoot(window, m_connection.atom("_NET_RESTACK_WINDOW"), sourcePager,
                                XCB_NONE, XCB_STACK_MODE_ABOVE);
        return kAXErrorSuccess;
    }
    if (attribute == ax::fullScreen && std::holds_alternative<bool>(value)) {
        const xcb_atom_t fullScreen = m_connection.atom("_NET_WM_STATE_FULLSCREEN");
        if (!supports(fullScreen))
            return kAXErrorAttributeUnsupported;
        return changeState(window, std::get<bool>(value), fullScreen, XCB_ATOM_NONE);
    }
    if (attribute == ax::position && std::holds_alternative<Point>(value))
        return setFrame(window, std::get<Point>(value), std::nullopt);
    if (attribute == ax::size && std::holds_alternative<Size>(value))
        return setFrame(window, std::nullopt, std::get<Size>(value));
    return kAXErrorAttributeUnsupported;
}

AXError X11Accessibility::performAction(const AXElement& element, std::string_view action) {
    if (action != ax::raise || element.kind != AXElement::Kind::window)
        return kAXErrorActionUnsupported;
    const auto window = static_cast<xcb_window_t>(element.window);
    WindowState state;
    if (const AXError status = readWindow(window, state); status != kAXErrorSuccess)
        return status;
    if (!state.managed)
        return kAXErrorCannotComplete;
    m_connection.sendToRoot(window, m_connection.atom("_NET_RESTACK_WINDOW"), sourcePager, XCB_NONE,
                            XCB_STACK_MODE_ABOVE);
    return kAXErrorSuccess;
}

AXError X11Accessibility::setFrame(xcb_window_t window, std::optional<Point> origin,
                                   std::optional<Size> size) {
    WindowState state;
    if (const AXError status = readWindow(window, state); status != kAXErrorSuccess)
        return status;
    const bool maximized = state.maximizedVert || state.maximizedHorz;
    // A maximised axis takes its length from the monitor once maximised again there; the other
    // axis is resized like any window's.
    const bool resizeWidth = size && !state.maximizedHorz;
    const bool resizeHeight = size && !state.maximizedVert;
    if (size && !resizeWidth && !resizeHeight)
        return kAXErrorSuccess;

    const xcb_atom_t maxVert = m_connection.atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const xcb_atom_t maxHorz = m_connection.atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    if (maximized) {
        // Moved while maximised, the window's restore geometry would stay on the old monitor.
        if (const AXError status = changeState(window, false, maxVert, maxHorz);
            status != kAXErrorSuccess)
            return status;
    }

    std::uint32_t flags = gravityNorthWest | (sourcePager << 12);
    std::int32_t x = 0, y = 0;
    std::uint32_t width = 0, height = 0;
    if (origin) {
        const Rect root =
            X11Monitors::accessibilityToRoot({origin->x, origin->y, 0, 0}, state.primaryRoot);
        x = static_cast<std::int32_t>(std::lround(root.x));
        y = static_cast<std::int32_t>(std::lround(root.y));
        flags |= (1u << 8) | (1u << 9);
        // Window managers that place windows themselves move them their own way.
        if (const auto placed = m_tiling.place(window, {double(x), double(y)});
            placed != X11TilingPlacement::Outcome::notHandled)
            return placed == X11TilingPlacement::Outcome::moved ? kAXErrorSuccess
                                                                : kAXErrorCannotComplete;
    }
    if (size) {
        // The request names the client's size; the frame adds decorations and borders.
        const double chromeWidth = state.extentsWidth + 2.0 * state.border;
        const double chromeHeight = state.extentsHeight + 2.0 * state.border;
        width = static_cast<std::uint32_t>(std::max(1.0, std::round(size->width - chromeWidth)));
        height = static_cast<std::uint32_t>(std::max(1.0, std::round(size->height - chromeHeight)));
        flags |= (resizeWidth ? 1u << 10 : 0) | (resizeHeight ? 1u << 11 : 0);
    }
    if (supports(m_connection.atom("_NET_MOVERESIZE_WINDOW"))) {
        m_connection.sendToRoot(window, m_connection.atom("_NET_MOVERESIZE_WINDOW"), flags,
                                static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), width,
                                height);
    } else {
        Rect frame = state.outerRoot;
        if (origin)
            frame = {double(x), double(y), frame.width, frame.height};
        if (size)
            frame = {frame.x, frame.y, size->width, size->height};
        X11ConfigureRequest::send(m_connection.xcb(), window,
                                  X11ConfigureRequest::forFrame(frame, state.chrome, state.gravity),
                                  origin.has_value(), size.has_value());
    }
    const Rect before = state.accessibilityFrame();
    const bool landed = settle([&] {
        WindowState now;
        if (readWindow(window, now) != kAXErrorSuccess)
            return true;
        const Rect frame = now.accessibilityFrame();
        if (origin)
            return sameOrigin(frame, *origin);
        // Size increments (a terminal's character cell) may round the size: any change counts.
        return frame.size() != before.size();
    });
    if (origin && !landed)
        m_tiling.reportIgnored(window, {double(x), double(y)});

    if (maximized)
        return changeState(window, true, state.maximizedVert ? maxVert : xcb_atom_t{XCB_ATOM_NONE},
                           state.maximizedHorz ? maxHorz : xcb_atom_t{XCB_ATOM_NONE});
    return kAXErrorSuccess;
}

AXError X11Accessibility::changeState(xcb_window_t window, bool add, xcb_atom_t first,
                                      xcb_atom_t second) {
    if (first == XCB_ATOM_NONE) {
        first = second;
        second = XCB_ATOM_NONE;
    }
    m_connection.sendToRoot(window, m_connection.atom("_NET_WM_STATE"),
                            add ? stateAdd : stateRemove, first, second, sourcePager);
    const xcb_atom_t stateAtom = m_connection.atom("_NET_WM_STATE");
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
        return kAXErrorInvalidUIElement;
    return done ? kAXErrorSuccess : kAXErrorCannotComplete;
}

void X11Accessibility::activateWindow(xcb_window_t window) {
    xcb_connection_t* c = m_connection.xcb();
    const auto active = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, m_connection.root(), m_connection.atom("_NET_ACTIVE_WINDOW"),
                                XCB_ATOM_WINDOW, 1)));
    m_connection.sendToRoot(window, m_connection.atom("_NET_ACTIVE_WINDOW"), sourcePager,
                            timestamp(), active.empty() ? XCB_NONE : active.front());
}

bool X11Accessibility::supports(xcb_atom_t atom) {
    xcb_connection_t* c = m_connection.xcb();
    const auto supported = X11Property::values32(X11Property::receive(
        c, X11Property::request(c, m_connection.root(), m_connection.atom("_NET_SUPPORTED"),
                                XCB_ATOM_ATOM, 1024)));
    return X11Property::contains(supported, atom);
}

xcb_timestamp_t X11Accessibility::timestamp() {
    // serverTime() reads events, which only the main thread may do.
    return std::this_thread::get_id() == m_mainThread ? m_connection.serverTime()
                                                      : XCB_CURRENT_TIME;
}

template <typename Pred> bool X11Accessibility::settle(Pred done, double timeout) {
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
