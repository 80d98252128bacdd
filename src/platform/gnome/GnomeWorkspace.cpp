// Applications, activation and notifications from the extension's window list and signals.
#include "platform/gnome/GnomeWorkspace.h"

#include "platform/gnome/GnomeShellClient.h"
#include "platform/linux/XdgOpen.h"

#include <unistd.h>

namespace halvo {

GnomeWorkspace::GnomeWorkspace(GnomeShellClient& shell) : m_shell(shell) {
    m_pendingUpdate.setSingleShot(true);
    m_pendingUpdate.setInterval(0);
    m_pendingUpdate.callOnTimeout([this] { update(); });
    if (const std::optional<GnomeWindowList> list = read())
        m_reported = keysOf(*list);
    QObject::connect(&shell, &GnomeShellClient::windowsChanged, &m_pendingUpdate,
                     [this] { m_pendingUpdate.start(); });
    QObject::connect(&shell, &GnomeShellClient::focusChanged, &m_pendingUpdate,
                     [this] { m_pendingUpdate.start(); });
}

void GnomeWorkspace::setDesktopEntries(DesktopAppCatalog::Entries entries) {
    m_catalog.setEntries(std::move(entries));
}

std::optional<GnomeWindowList> GnomeWorkspace::read() const {
    const std::optional<std::string> text = m_shell.windowsText();
    if (!text)
        return std::nullopt;
    return GnomeWindowList::parse(*text, static_cast<ProcessID>(getpid()));
}

RunningApplication GnomeWorkspace::describe(const GnomeWindowList::Application& application) {
    RunningApplication result;
    result.processIdentifier = application.pid;
    result.bundleIdentifier = application.appKey;
    result.activationPolicy = application.own       ? ActivationPolicy::accessory
                              : application.regular ? ActivationPolicy::regular
                                                    : ActivationPolicy::prohibited;
    result.isHidden = application.hidden();
    result.hasBundleURL = !application.windows.empty();
    const DesktopAppCatalog::Info& info = m_catalog.info(application.appKey, {});
    result.localizedName = info.name.value_or(application.appKey);
    result.icon = info.themeIcon;
    return result;
}

std::vector<RunningApplication> GnomeWorkspace::runningApplications() {
    std::vector<RunningApplication> result;
    if (const std::optional<GnomeWindowList> list = read()) {
        for (const auto& app : list->applications())
            result.push_back(describe(app));
        // The caller now knows these applications: it must hear when one of them goes, even if
        // the signals of its start and end come together. The front is left to the signals.
        AppKeys keys = keysOf(*list);
        keys.frontmost = m_reported.frontmost;
        report(std::move(keys), false);
    }
    return result;
}

std::optional<RunningApplication> GnomeWorkspace::runningApplication(ProcessID pid) {
    const std::optional<GnomeWindowList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    if (!app)
        return std::nullopt;
    return describe(*app);
}

std::optional<RunningApplication> GnomeWorkspace::frontmostApplication() {
    const std::optional<GnomeWindowList> list = read();
    const auto* app = list ? list->focusedApplication() : nullptr;
    if (!app)
        return std::nullopt;
    return describe(*app);
}

bool GnomeWorkspace::focus(const GnomeWindowList& list, const GnomeWindowList::Window& window) {
    if (list.focusedWindow() == &window)
        return true;
    return m_shell.activate(window.info.id);
}

void GnomeWorkspace::unhide(ProcessID pid) {
    const std::optional<GnomeWindowList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    if (!app || !app->hidden())
        return;
    for (const auto& window : app->windows)
        m_shell.setMinimized(window.info.id, false);
}

void GnomeWorkspace::openApplication(ProcessID pid, OpenCompletion completion) {
    const std::optional<GnomeWindowList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    const auto* main = app ? list->mainWindow(*app) : nullptr;
    if (!main || !focus(*list, *main)) {
        completion(std::nullopt, std::nullopt);
        return;
    }
    completion(describe(*app), std::nullopt);
}

bool GnomeWorkspace::activate(ProcessID pid) {
    const std::optional<GnomeWindowList> list = read();
    const auto* app = list ? list->find(pid) : nullptr;
    const auto* main = app ? list->mainWindow(*app) : nullptr;
    return main && focus(*list, *main);
}

bool GnomeWorkspace::openURL(const std::string& url) {
    return XdgOpen::open(url);
}

ObserverToken GnomeWorkspace::addObserver(WorkspaceNotification name,
                                          std::function<void()> handler) {
    return m_observers.add(name, std::move(handler));
}

void GnomeWorkspace::removeObserver(ObserverToken token) {
    m_observers.remove(token);
}

void GnomeWorkspace::update() {
    if (const std::optional<GnomeWindowList> list = read())
        report(keysOf(*list), true);
}

AppKeys GnomeWorkspace::keysOf(const GnomeWindowList& list) {
    AppKeys keys;
    for (const auto& app : list.applications())
        keys.add(app.appKey, app.hidden());
    if (const auto* focused = list.focusedWindow())
        keys.frontmost = focused->appKey;
    return keys;
}

void GnomeWorkspace::report(AppKeys keys, bool frontMayHaveChanged) {
    const auto changes = keys.changesSince(m_reported, frontMayHaveChanged);
    m_reported = std::move(keys);
    m_observers.notify(changes);
}

} // namespace halvo
