// Applications, activation and notifications from the KWin script's reports.
#include "platform/kwin/KWinWorkspace.h"

#include "platform/kwin/KWinScriptChannel.h"
#include "platform/linux/XdgOpen.h"

namespace halvo {
namespace {

// An activation waits this long for KWin's answer; the script answers within milliseconds.
constexpr std::chrono::milliseconds commandTimeout{1000};

// The window activating the application shows: its active one, else the topmost not
// minimised, else the topmost.
const KWinState::Window* mainWindow(const KWinState& state,
                                    const KWinState::Application& application) {
    const KWinState::Window* active = state.activeWindow();
    for (const KWinState::Window* window : application.windows) {
        if (window == active)
            return window;
    }
    for (const KWinState::Window* window : application.windows) {
        if (!window->info.minimized)
            return window;
    }
    return application.windows.empty() ? nullptr : application.windows.front();
}

} // namespace

KWinWorkspace::KWinWorkspace(KWinScriptChannel& channel) : m_channel(channel) {
    if (const auto state = m_channel.state())
        m_reported = keysOf(*state);
    m_channel.onReport([this] { update(); });
}

KWinWorkspace::~KWinWorkspace() {
    m_channel.onReport(nullptr);
}

void KWinWorkspace::setDesktopEntries(DesktopEntries entries) {
    m_catalog.setEntries(std::move(entries));
}

RunningApplication KWinWorkspace::describe(const KWinState::Application& application) {
    RunningApplication result;
    result.processIdentifier = application.pid;
    result.bundleIdentifier = application.appKey;
    result.activationPolicy =
        application.regular() ? ActivationPolicy::regular : ActivationPolicy::prohibited;
    result.isHidden = application.hidden();
    result.hasBundleURL = !application.windows.empty();
    const DesktopAppCatalog::Info& info = m_catalog.info(application.appKey, {});
    result.localizedName = info.name.value_or(application.appKey);
    result.icon = info.themeIcon;
    return result;
}

std::vector<RunningApplication> KWinWorkspace::runningApplications() {
    std::vector<RunningApplication> result;
    if (const auto state = m_channel.state()) {
        for (const auto& application : state->applications())
            result.push_back(describe(application));
    }
    return result;
}

std::optional<RunningApplication> KWinWorkspace::runningApplication(ProcessID pid) {
    const auto state = m_channel.state();
    const auto application = state ? state->application(pid) : std::nullopt;
    if (!application)
        return std::nullopt;
    return describe(*application);
}

std::optional<RunningApplication> KWinWorkspace::frontmostApplication() {
    const auto state = m_channel.state();
    const KWinState::Window* active = state ? state->activeWindow() : nullptr;
    if (!active)
        return std::nullopt;
    for (const auto& application : state->applications()) {
        if (application.appKey == active->appKey)
            return describe(application);
    }
    return std::nullopt;
}

bool KWinWorkspace::activateWindow(WindowID id) {
    const auto result = m_channel.send({{"op", "activate"}, {"window", id}}, commandTimeout);
    return result && result->outcome == "ok";
}

void KWinWorkspace::unhide(ProcessID pid) {
    const auto state = m_channel.state();
    const auto application = state ? state->application(pid) : std::nullopt;
    if (!application || !application->hidden())
        return;
    // The topmost goes last, so that it ends up active.
    for (auto it = application->windows.rbegin(); it != application->windows.rend(); ++it)
        activateWindow((*it)->id);
}

void KWinWorkspace::openApplication(ProcessID pid, OpenCompletion completion) {
    if (!activate(pid)) {
        completion(std::nullopt, std::nullopt);
        return;
    }
    completion(runningApplication(pid), std::nullopt);
}

bool KWinWorkspace::activate(ProcessID pid) {
    const auto state = m_channel.state();
    const auto application = state ? state->application(pid) : std::nullopt;
    const KWinState::Window* main = application ? mainWindow(*state, *application) : nullptr;
    return main && activateWindow(main->id);
}

bool KWinWorkspace::openURL(const std::string& url) {
    return XdgOpen::open(url);
}

ObserverToken KWinWorkspace::addObserver(WorkspaceNotification name,
                                         std::function<void()> handler) {
    return m_observers.add(name, std::move(handler));
}

void KWinWorkspace::removeObserver(ObserverToken token) {
    m_observers.remove(token);
}

void KWinWorkspace::update() {
    const auto state = m_channel.state();
    if (!state)
        return;
    AppKeys keys = keysOf(*state);
    const auto changes = keys.changesSince(m_reported);
    m_reported = std::move(keys);
    m_observers.notify(changes);
}

AppKeys KWinWorkspace::keysOf(const KWinState& state) {
    AppKeys keys;
    for (const auto& application : state.applications())
        keys.add(application.appKey, application.hidden());
    if (const KWinState::Window* active = state.activeWindow())
        keys.frontmost = active->appKey;
    return keys;
}

} // namespace halvo
