// Applications, activation and notifications from the window manager's properties.
#include "platform/x11/X11Workspace.h"

#include "platform/linux/XdgOpen.h"
#include "platform/x11/NetWmIcon.h"
#include "platform/x11/X11ClientProperties.h"
#include "platform/x11/X11Property.h"

#include <algorithm>
#include <cassert>
#include <unordered_set>

namespace halvo {
namespace {

constexpr std::uint32_t sourcePager = 2;

} // namespace

X11Workspace::X11Workspace(X11Connection& connection, ProcessID ownPid)
    : m_connection(connection), m_ownPid(ownPid),
      m_clientListAtom(connection.atom("_NET_CLIENT_LIST")),
      m_stackingAtom(connection.atom("_NET_CLIENT_LIST_STACKING")),
      m_activeAtom(connection.atom("_NET_ACTIVE_WINDOW")),
      m_desktopAtom(connection.atom("_NET_CURRENT_DESKTOP")) {
    xcb_connection_t* c = m_connection.xcb();
    // Add PropertyChange to whatever this connection already selects on the root.
    xcb_generic_error_t* error = nullptr;
    auto* attributes = xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, m_connection.root()), &error);
    free(error);
    const std::uint32_t mask =
        (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    free(attributes);
    xcb_change_window_attributes(c, m_connection.root(), XCB_CW_EVENT_MASK, &mask);
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& e) { handleEvent(e); });
    // The workspace's reads keep each window's values and watch the window for changes.
    m_connection.keepClientProperties();
    m_note = m_connection.addNote([this](const xcb_generic_event_t& e) { note(e); });

    m_reported = keysOf(*updatedClientList());
    xcb_flush(c);
}

X11Workspace::~X11Workspace() {
    m_connection.removeNote(m_note);
    m_connection.removeListener(m_listener);
}

void X11Workspace::setDesktopEntries(DesktopEntries entries) {
    m_catalog.setEntries(std::move(entries));
    ++m_classesGeneration;
}

const DesktopAppCatalog::Info&
X11Workspace::classInfo(const X11ClientList::Application& application) {
    return m_catalog.info(application.wmClass, application.windows.empty()
                                                   ? std::string()
                                                   : application.windows.front().wmInstance);
}

AppIconRef X11Workspace::windowIcon(const X11ClientList::Application& application,
                                    xcb_window_t* unread) const {
    for (const auto& window : application.windows) {
        if (window.iconLength == 0)
            continue;
        const auto cached = m_windowIcons.find(window.id);
        if (cached == m_windowIcons.end() || cached->second.length != window.iconLength) {
            if (unread) {
                *unread = window.id;
                return nullptr;
            }
            continue;
        }
        if (cached->second.icon)
            return cached->second.icon;
    }
    return nullptr;
}

void X11Workspace::loadIcons(const std::vector<const X11ClientList::Application*>& applications) {
    assert(onOwnThread() && "the icon cache is not shared with other threads");
    struct Fetch {
        xcb_window_t window;
        std::uint32_t length;
        xcb_get_property_cookie_t cookie;
    };
    xcb_connection_t* c = m_connection.xcb();
    const xcb_atom_t iconAtom = m_connection.atom("_NET_WM_ICON");
    std::vector<Fetch> fetches;
    for (const auto* application : applications) {
        if (!application->regular || classInfo(*application).themeIcon)
            continue;
        xcb_window_t unread = XCB_NONE;
        if (windowIcon(*application, &unread) || unread == XCB_NONE)
            continue;
        const auto* window = std::find_if(
            application->windows.data(), application->windows.data() + application->windows.size(),
            [&](const X11ClientList::Window& w) { return w.id == unread; });
        const std::uint32_t length = std::min(window->iconLength, maximumIconItems);
        fetches.push_back({unread, window->iconLength,
                           X11Property::request(c, unread, iconAtom, XCB_ATOM_CARDINAL, length)});
    }
    for (const Fetch& fetch : fetches) {
        const auto reply = X11Property::receive(c, fetch.cookie);
        const auto data = X11Property::values32(reply);
        m_windowIcons[fetch.window] = {fetch.length,
                                       NetWmIcon::bestIcon(data, iconPoints, m_iconScale)};
        ++m_iconFetches;
    }
}

void X11Workspace::forgetIconsNotIn(const X11ClientList& list) {
    std::unordered_set<xcb_window_t> windows;
    for (const auto& app : list.applications()) {
        for (const auto& window : app.windows)
            windows.insert(window.id);
    }
    std::erase_if(m_windowIcons, [&](const auto& entry) { return !windows.count(entry.first); });
}

RunningApplication X11Workspace::describe(const X11ClientList::Application& application) {
    RunningApplication result;
    result.processIdentifier = application.pid;
    result.bundleIdentifier = application.wmClass;
    result.activationPolicy = application.own       ? ActivationPolicy::accessory
                              : application.regular ? ActivationPolicy::regular
                                                    : ActivationPolicy::prohibited;
    result.isHidden = application.hidden();
    result.hasBundleURL = !application.windows.empty();
    const DesktopAppCatalog::Info& info = classInfo(application);
    result.localizedName = info.name.value_or(application.wmClass);
    result.icon = info.themeIcon ? info.themeIcon : windowIcon(application);
    return result;
}

std::shared_ptr<const X11ClientList> X11Workspace::clientList() {
    // A change noted already is read in the timestamp's round trip, so that an activation that
    // follows needs no other round trip and a show no second one.
    auto rootRequest = requestRootUnlessCurrent();
    m_syncTime = m_connection.serverTime();
    // Every event sent before the timestamp has been noted now.
    if (!rootRequest)
        rootRequest = requestRootUnlessCurrent();
    if (!rootRequest)
        return m_snapshot;
    return current(X11ClientList::receiveRoot(m_connection, *rootRequest));
}

std::shared_ptr<const X11ClientList> X11Workspace::updatedClientList() {
    const auto rootRequest = requestRootUnlessCurrent();
    if (!rootRequest)
        return m_snapshot;
    return current(X11ClientList::receiveRoot(m_connection, *rootRequest));
}

bool X11Workspace::snapshotIsCurrent() const {
    const X11ClientProperties* kept = m_connection.clientProperties();
    return m_snapshot && !m_rootChanged && kept && kept->changes() == m_snapshotChanges;
}

std::optional<X11ClientList::RootRequest> X11Workspace::requestRootUnlessCurrent() {
    if (snapshotIsCurrent())
        return std::nullopt;
    const auto request = X11ClientList::requestRoot(m_connection);
    m_rootSequence = request.clients.sequence;
    m_rootChanged = false;
    return request;
}

void X11Workspace::note(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (notify.window != m_connection.root())
        return;
    const xcb_atom_t atom = notify.atom;
    if (atom != m_clientListAtom && atom != m_stackingAtom && atom != m_activeAtom &&
        atom != m_desktopAtom)
        return;
    // The event carries the sequence number of the last request the server had taken from this
    // connection when it made the change (xcb widens it to 32 bits).
    if (static_cast<std::int32_t>(event.full_sequence - m_rootSequence) >= 0)
        m_rootChanged = true;
}

std::shared_ptr<const X11ClientList> X11Workspace::current(X11ClientList::Root root) {
    // The root's replies are in, so every event the server sent before them is in xcb's queue:
    // noting those drops the kept values of the windows they changed.
    m_connection.takeQueuedEvents();
    const X11ClientProperties* kept = m_connection.clientProperties();
    const std::uint64_t changes = kept ? kept->changes() : 0;
    // Activating a window changes the stacking order and the active window (openbox sets both
    // twice), never a window's own values: the snapshot, and the descriptions made from it, stay.
    if (m_snapshot && kept && changes == m_snapshotChanges &&
        m_snapshot->clients() == root.clients) {
        if (!m_snapshot->madeFrom(root))
            m_snapshot = std::make_shared<const X11ClientList>(m_snapshot->restacked(root));
        return m_snapshot;
    }
    m_snapshot = std::make_shared<const X11ClientList>(
        X11ClientList::read(m_connection, std::move(root), m_ownPid, true));
    m_snapshotChanges = changes;
    // Whoever asked may now know of an application the events have not told of yet: it must hear
    // when that one goes, even if no event ever shows it. The front is left to the report of the
    // active window's own change.
    AppKeys keys = keysOf(*m_snapshot);
    keys.frontmost = m_reported.frontmost;
    report(std::move(keys), false);
    // New windows were watched before they were read: the list is current.
    xcb_flush(m_connection.xcb());
    return m_snapshot;
}

std::vector<RunningApplication> X11Workspace::runningApplications() {
    assert(onOwnThread() && "the icon cache is not shared with other threads");
    return describeAll(clientList());
}

std::pair<std::vector<RunningApplication>, std::optional<RunningApplication>>
X11Workspace::runningAndFrontmostApplications() {
    assert(onOwnThread() && "the icon cache is not shared with other threads");
    const auto list = clientList();
    auto running = describeAll(list);
    return {std::move(running), frontmostOf(*list)};
}

std::vector<RunningApplication>
X11Workspace::describeAll(const std::shared_ptr<const X11ClientList>& list) {
    // Descriptions depend only on the snapshot, the class lookups and the icons read: while none
    // of them changed, the last ones are still right (every show asks again).
    if (m_described.windowsGeneration == list->windowsGeneration() &&
        m_described.iconFetches == m_iconFetches &&
        m_described.classesGeneration == m_classesGeneration)
        return m_described.applications;
    forgetIconsNotIn(*list);
    std::vector<const X11ClientList::Application*> applications;
    applications.reserve(list->applications().size());
    for (const auto& app : list->applications())
        applications.push_back(&app);
    loadIcons(applications);
    std::vector<RunningApplication> result;
    result.reserve(applications.size());
    for (const auto* app : applications)
        result.push_back(describe(*app));
    m_described = {list->windowsGeneration(), m_iconFetches, m_classesGeneration, result};
    return result;
}

std::optional<RunningApplication> X11Workspace::runningApplication(ProcessID pid) {
    assert(onOwnThread() && "the icon cache is not shared with other threads");
    const auto list = clientList();
    const auto* app = list->find(pid);
    if (!app)
        return std::nullopt;
    loadIcons({app});
    return describe(*app);
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    assert(onOwnThread() && "the icon cache is not shared with other threads");
    return frontmostOf(*clientList());
}

std::optional<RunningApplication> X11Workspace::frontmostOf(const X11ClientList& list) {
    const auto* app = list.owner(list.activeWindow());
    if (!app)
        return std::nullopt;
    loadIcons({app});
    return describe(*app);
}

void X11Workspace::unhide(ProcessID pid) {
    // The kept snapshot, while no window changed, is as current as the events the main loop has
    // dispatched (a change of the client list or of a window's state updates it at once); a
    // window minimised since is restored by the activation that follows anyway. This saves the
    // activation a round trip.
    const X11ClientProperties* kept = m_connection.clientProperties();
    const bool windowsKept = m_snapshot && kept && kept->changes() == m_snapshotChanges;
    const auto list = windowsKept ? m_snapshot : clientList();
    const auto* app = list->find(pid);
    // Only a hidden application (every window minimised) is shown again: mapping a window the
    // user minimised while another of the same application is in use would restore it too.
    if (!app || !app->hidden())
        return;
    // A map request for an iconified window asks the window manager to show it again.
    for (const auto& window : app->windows) {
        if (window.iconic) {
            const auto cookie = xcb_map_window_checked(m_connection.xcb(), window.id);
            xcb_discard_reply(m_connection.xcb(), cookie.sequence);
        }
    }
    xcb_flush(m_connection.xcb());
}

void X11Workspace::openApplication(ProcessID pid, OpenCompletion completion) {
    const auto list = clientList();
    const auto* app = list->find(pid);
    if (!app || !activateMainWindow(*list, *app)) {
        completion(std::nullopt, std::nullopt);
        return;
    }
    loadIcons({app});
    completion(describe(*app), std::nullopt);
}

bool X11Workspace::activate(ProcessID pid) {
    const auto list = clientList();
    const auto* app = list->find(pid);
    return app && activateMainWindow(*list, *app);
}

bool X11Workspace::activateMainWindow(const X11ClientList& list,
                                      const X11ClientList::Application& app) {
    const xcb_window_t window = list.mainWindow(app);
    if (window == XCB_NONE)
        return false;
    // Every caller has just read the list, which took a timestamp.
    const xcb_timestamp_t time = m_syncTime;
    const auto* info = list.window(window);
    if (info && info->desktopIndex != X11ClientList::allDesktops &&
        info->desktopIndex != list.currentDesktop()) {
        // Otherwise the window manager only marks the window as demanding attention.
        m_connection.sendToRoot(m_connection.root(), m_connection.atom("_NET_CURRENT_DESKTOP"),
                                info->desktopIndex, time, 0);
    }
    m_connection.sendToRoot(window, m_connection.atom("_NET_ACTIVE_WINDOW"), sourcePager, time,
                            list.activeWindow());
    return true;
}

bool X11Workspace::openURL(const std::string& url) {
    return XdgOpen::open(url);
}

ObserverToken X11Workspace::addObserver(WorkspaceNotification name, std::function<void()> handler) {
    return m_observers.add(name, std::move(handler));
}

void X11Workspace::removeObserver(ObserverToken token) {
    m_observers.remove(token);
}

void X11Workspace::handleEvent(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const X11ClientProperties* kept = m_connection.clientProperties();
    const bool watched = kept && kept->contains(notify.window);
    if (notify.window == m_connection.root()) {
        if (notify.atom == m_connection.atom("_NET_CLIENT_LIST"))
            update(false);
        else if (notify.atom == m_connection.atom("_NET_ACTIVE_WINDOW"))
            update(true);
        return;
    }
    if (watched && (notify.atom == m_connection.atom("WM_STATE") ||
                    notify.atom == m_connection.atom("_NET_WM_STATE")))
        update(false);
}

void X11Workspace::update(bool activeChanged) {
    report(keysOf(*updatedClientList()), activeChanged);
}

AppKeys X11Workspace::keysOf(const X11ClientList& list) const {
    AppKeys keys;
    for (const auto& app : list.applications())
        keys.add(app.wmClass, app.hidden());
    if (const auto* front = list.owner(list.activeWindow()))
        keys.frontmost = front->wmClass;
    return keys;
}

void X11Workspace::report(AppKeys keys, bool frontMayHaveChanged) {
    const auto changes = keys.changesSince(m_reported, frontMayHaveChanged);
    m_reported = std::move(keys);
    m_observers.notify(changes);
}

} // namespace halvo
