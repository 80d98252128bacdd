// Applications, activation and notifications from sway's layout tree and window events.
#include "platform/sway/SwayWorkspace.h"

#include "platform/i3ipc/I3IpcError.h"
#include "platform/linux/LatencyTrace.h"
#include "platform/linux/XdgOpen.h"

namespace halvo {

SwayWorkspace::SwayWorkspace(SwayIpcPool& pool, SwayIpcEvents& events, SwayTreeCache& tree)
    : m_pool(pool), m_tree(tree) {
    m_pendingUpdate.setSingleShot(true);
    m_pendingUpdate.setInterval(0);
    m_pendingUpdate.callOnTimeout([this] { update(); });
    if (const std::optional<SwayClientList> list = read())
        m_reported = keysOf(*list);
    // A window opened, closed, focused or moved (to the scratchpad, for one) may change the
    // applications; the tree read afterwards says how, once for a burst of events (an
    // activation brings three focus events). Title changes, which a terminal makes
    // all the time, and the like change nothing here.
    events.on("window", {"new", "close", "focus", "move"},
              [this](const nlohmann::json&) { m_pendingUpdate.start(); });
    events.onReconnected([this] { m_pendingUpdate.start(); });
}

void SwayWorkspace::setDesktopEntries(DesktopEntries entries) {
    m_catalog.setEntries(std::move(entries));
}

std::optional<SwayClientList> SwayWorkspace::read() {
    return m_tree.read();
}

const DesktopAppCatalog::Info&
SwayWorkspace::appInfo(const SwayClientList::Application& application) {
    return m_catalog.info(application.appKey, application.windows.empty()
                                                  ? std::string()
                                                  : application.windows.front().instance);
}

RunningApplication SwayWorkspace::describe(const SwayClientList::Application& application) {
    RunningApplication result;
    result.processIdentifier = application.pid;
    result.bundleIdentifier = application.appKey;
    result.activationPolicy = application.own       ? ActivationPolicy::accessory
                              : application.regular ? ActivationPolicy::regular
                                                    : ActivationPolicy::prohibited;
    result.isHidden = application.hidden();
    result.hasBundleURL = !application.windows.empty();
    const DesktopAppCatalog::Info& info = appInfo(application);
    result.localizedName = info.name.value_or(application.appKey);
    result.icon = info.themeIcon;
    return result;
}

std::vector<RunningApplication> SwayWorkspace::runningApplications() {
    std::vector<RunningApplication> result;
    if (const std::optional<SwayClientList> list = read()) {
        for (const auto& app : list->applications())
            result.push_back(describe(app));
        // The caller may now know of an application the events have not told of yet: it must
        // hear when that one goes, even if the events of its start and its end come together.
        // The front is left to the update the focus events bring.
        AppKeys keys = keysOf(*list);
        keys.frontmost = m_reported.frontmost;
        report(std::move(keys), false);
    }
    return result;
}

std::optional<RunningApplication> SwayWorkspace::runningApplication(ProcessID pid) {
    const std::optional<SwayClientList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    if (!app)
        return std::nullopt;
    return describe(*app);
}

std::optional<RunningApplication> SwayWorkspace::frontmostApplication() {
    const std::optional<SwayClientList> list = read();
    const auto* focused = list ? list->focusedWindow() : nullptr;
    const auto* app = focused ? list->owner(focused->id) : nullptr;
    if (!app)
        return std::nullopt;
    return describe(*app);
}

bool SwayWorkspace::focus(const SwayClientList::Window& window) {
    // Focusing the focused window changes nothing, but while Halvo's keyboard surface is up sway
    // still sends focus events, which make the kept tree stale for the next question (a quick
    // second step asks it while this activation still runs).
    if (window.focused)
        return true;
    const std::int64_t conId = window.id;
    LatencyTrace::mark("focus", "command");
    try {
        const auto results = m_pool.with([&](I3IpcClient& client) {
            return client.runCommand("[con_id=" + std::to_string(conId) + "] focus");
        });
        m_tree.invalidate();
        return !results.empty() && results.front().success;
    } catch (const I3IpcError&) {
        m_tree.invalidate();
        return false;
    }
}

void SwayWorkspace::unhide(ProcessID pid) {
    const std::optional<SwayClientList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    // Only a hidden application is shown again: a window the user put away while another of the
    // same application is in use stays put away.
    if (!app || !app->hidden())
        return;
    // Focusing a window in the scratchpad shows it; the most recently focused one goes last, so
    // that it ends up with the focus.
    for (auto it = app->windows.rbegin(); it != app->windows.rend(); ++it)
        focus(*it);
}

void SwayWorkspace::openApplication(ProcessID pid, OpenCompletion completion) {
    const std::optional<SwayClientList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    const auto* main = app ? list->mainWindow(*app) : nullptr;
    if (!main || !focus(*main)) {
        completion(std::nullopt, std::nullopt);
        return;
    }
    completion(describe(*app), std::nullopt);
}

bool SwayWorkspace::activate(ProcessID pid) {
    const std::optional<SwayClientList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    const auto* main = app ? list->mainWindow(*app) : nullptr;
    return main && focus(*main);
}

bool SwayWorkspace::openURL(const std::string& url) {
    return XdgOpen::open(url);
}

ObserverToken SwayWorkspace::addObserver(WorkspaceNotification name,
                                         std::function<void()> handler) {
    return m_observers.add(name, std::move(handler));
}

void SwayWorkspace::removeObserver(ObserverToken token) {
    m_observers.remove(token);
}

void SwayWorkspace::update() {
    if (const std::optional<SwayClientList> list = read())
        report(keysOf(*list), true);
}

AppKeys SwayWorkspace::keysOf(const SwayClientList& list) {
    AppKeys keys;
    for (const auto& app : list.applications())
        keys.add(app.appKey, app.hidden());
    if (const auto* focused = list.focusedWindow())
        keys.frontmost = focused->appKey;
    return keys;
}

void SwayWorkspace::report(AppKeys keys, bool frontMayHaveChanged) {
    const auto changes = keys.changesSince(m_reported, frontMayHaveChanged);
    m_reported = std::move(keys);
    m_observers.notify(changes);
}

} // namespace halvo
