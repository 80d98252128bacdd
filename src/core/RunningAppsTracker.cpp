// The running-apps tracker: list refreshes, the selection rule, stepping and activation.
#include "core/RunningAppsTracker.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace halvo {

namespace {

std::vector<TrackedApp> switchable(const std::vector<RunningApplication>& applications,
                                   const std::string& excludedBundleID) {
    std::vector<TrackedApp> result;
    result.reserve(applications.size());
    std::unordered_set<std::string_view> seen;
    for (const RunningApplication& application : applications) {
        if (application.activationPolicy != ActivationPolicy::regular ||
            !application.bundleIdentifier || *application.bundleIdentifier == excludedBundleID ||
            application.isTerminated)
            continue;
        if (!seen.insert(*application.bundleIdentifier).second)
            continue;
        result.push_back(TrackedApp::from(application));
    }
    return result;
}

std::optional<std::string> regularBundleID(const std::optional<RunningApplication>& frontmost) {
    if (!frontmost || frontmost->activationPolicy != ActivationPolicy::regular)
        return std::nullopt;
    return frontmost->bundleIdentifier;
}

} // namespace

RunningAppsTracker::Environment RunningAppsTracker::Environment::live(Workspace& workspace,
                                                                      Activate activate) {
    Environment environment;
    environment.runningApps = [&workspace](const std::string& excludedBundleID) {
        return switchable(workspace.runningApplications(), excludedBundleID);
    };
    environment.frontmostBundleID = [&workspace] {
        return regularBundleID(workspace.frontmostApplication());
    };
    environment.activate = std::move(activate);
    environment.runningAppsAndFrontmost = [&workspace](const std::string& excludedBundleID) {
        const auto [running, frontmost] = workspace.runningAndFrontmostApplications();
        return std::pair(switchable(running, excludedBundleID), regularBundleID(frontmost));
    };
    return environment;
}

RunningAppsTracker::RunningAppsTracker(AppOrderStore orderStore, Workspace& workspace,
                                       Activate activate, Services services)
    : RunningAppsTracker(std::move(orderStore), Environment::live(workspace, std::move(activate)),
                         std::move(services), &workspace) {}

RunningAppsTracker::RunningAppsTracker(AppOrderStore orderStore, Environment environment,
                                       Services services)
    : RunningAppsTracker(std::move(orderStore), std::move(environment), std::move(services),
                         nullptr) {}

RunningAppsTracker::RunningAppsTracker(AppOrderStore orderStore, Environment environment,
                                       Services services, Workspace* observedWorkspace)
    : m_orderStore(std::move(orderStore)), m_environment(std::move(environment)),
      m_mainQueue(services.mainQueue), m_sound(services.sound),
      m_moveWindows(std::move(services.moveWindows)) {
    refresh(false);
    if (observedWorkspace)
        observe(*observedWorkspace);
}

RunningAppsTracker::~RunningAppsTracker() {
    if (!m_observedWorkspace)
        return;
    for (ObserverToken token : m_observers)
        m_observedWorkspace->removeObserver(token);
}

void RunningAppsTracker::observe(Workspace& workspace) {
    m_observedWorkspace = &workspace;
    // The notification's contents are not read: each one only asks for a later refresh.
    const std::weak_ptr<int> lifetime = m_lifetime;
    for (WorkspaceNotification name :
         {WorkspaceNotification::didLaunchApplication,
          WorkspaceNotification::didTerminateApplication,
          WorkspaceNotification::didActivateApplication, WorkspaceNotification::didHideApplication,
          WorkspaceNotification::didUnhideApplication}) {
        m_observers.push_back(workspace.addObserver(name, [this, lifetime] {
            if (lifetime.expired())
                return;
            m_mainQueue.post([this, lifetime] {
                if (!lifetime.expired())
                    refresh(false);
            });
        }));
    }
}

void RunningAppsTracker::refresh(bool keepSelection) {
    std::optional<std::optional<std::string>> frontmost;
    if (!m_isSwitching) {
        std::vector<TrackedApp> running;
        if (m_environment.runningAppsAndFrontmost) {
            auto both = m_environment.runningAppsAndFrontmost(ownBundleIdentifier);
            running = std::move(both.first);
            frontmost = std::move(both.second);
        } else {
            running = m_environment.runningApps(ownBundleIdentifier);
        }
        std::vector<std::string> runningIDs;
        runningIDs.reserve(running.size());
        std::unordered_map<std::string_view, std::size_t> byID;
        byID.reserve(running.size());
        // Keyed by views of runningIDs, which outlive the moves out of `running` below.
        for (const TrackedApp& app : running)
            runningIDs.push_back(app.bundleIdentifier);
        for (std::size_t i = 0; i < runningIDs.size(); ++i)
            byID.emplace(runningIDs[i], i);
        std::vector<TrackedApp> ordered;
        ordered.reserve(running.size());
        for (const std::string& id : m_orderStore.orderedIDs(runningIDs)) {
            const auto found = byID.find(id);
            if (found != byID.end())
                ordered.push_back(std::move(running[found->second]));
        }
        m_apps.set(std::move(ordered));
    }

    m_frontmostBundleID.set(frontmost ? std::move(*frontmost) : m_environment.frontmostBundleID());

    std::optional<std::string> trackedFrontmost;
    if (m_frontmostBundleID.get() && findApp(*m_frontmostBundleID.get()))
        trackedFrontmost = m_frontmostBundleID.get();

    bool frontmostChanged = false;
    if (trackedFrontmost) {
        frontmostChanged = trackedFrontmost != m_lastObservedFrontmostBundleID;
        m_lastObservedFrontmostBundleID = trackedFrontmost;
    }

    const std::optional<std::string>& selected = m_selectedBundleID.get();
    if (!selected || !findApp(*selected)) {
        m_selectedBundleID.set(trackedFrontmost);
        return;
    }
    if (!m_isSwitching && !keepSelection && !m_pendingBundleID && frontmostChanged)
        m_selectedBundleID.set(trackedFrontmost);
}

void RunningAppsTracker::beginSwitching() {
    if (m_isSwitching)
        return;
    refresh(false);
    m_isSwitching = true;
}

void RunningAppsTracker::endSwitching() {
    const bool wasSwitching = std::exchange(m_isSwitching, false);
    refresh(wasSwitching);
}

void RunningAppsTracker::cycle(bool backward) {
    beginSwitching();
    std::vector<std::string> ids;
    ids.reserve(m_apps->size());
    for (const TrackedApp& app : m_apps.get())
        ids.push_back(app.bundleIdentifier);

    std::optional<std::string> current = m_pendingBundleID;
    if (!current)
        current = m_selectedBundleID.get();
    if (!current)
        current = m_frontmostBundleID.get();

    const auto index = cycledIndex(current, ids, backward);
    if (!index)
        return;
    activate(ids[*index]);
}

std::optional<std::size_t>
RunningAppsTracker::cycledIndex(const std::optional<std::string>& current,
                                const std::vector<std::string>& ids, bool backward) {
    const std::size_t n = ids.size();
    if (n == 0)
        return std::nullopt;
    if (current) {
        for (std::size_t i = 0; i < n; ++i) {
            if (ids[i] == *current)
                return backward ? (i + n - 1) % n : (i + 1) % n;
        }
    }
    return backward ? n - 1 : 0;
}

void RunningAppsTracker::activate(const std::string& bundleID) {
    const TrackedApp* found = findApp(bundleID);
    if (!found)
        return;
    const TrackedApp app = *found;
    const std::uint64_t request = ++m_activationRequest;
    m_pendingBundleID = bundleID;
    m_selectedBundleID.set(bundleID);
    m_pendingMoveScreen.reset();

    const std::weak_ptr<int> lifetime = m_lifetime;
    m_environment.activate(app.processIdentifier, [this, lifetime, request, app](bool succeeded) {
        if (lifetime.expired() || m_activationRequest != request)
            return;
        completeActivation(succeeded, app);
    });
}

void RunningAppsTracker::completeActivation(bool succeeded, const TrackedApp& app) {
    const std::optional<Screen> screen = std::exchange(m_pendingMoveScreen, std::nullopt);
    // The pending identifier is still set here, so this refresh cannot move the selection.
    refresh(false);
    m_pendingBundleID.reset();
    if (succeeded && screen)
        startWindowMove(app.processIdentifier, *screen);
}

void RunningAppsTracker::moveSelectedApp(const Screen& screen) {
    if (m_pendingBundleID) {
        m_pendingMoveScreen = screen;
        return;
    }
    std::optional<std::string> target = m_selectedBundleID.get();
    if (!target)
        target = m_frontmostBundleID.get();
    if (!target)
        return;
    const TrackedApp* app = findApp(*target);
    if (!app)
        return;
    startWindowMove(app->processIdentifier, screen);
}

void RunningAppsTracker::startWindowMove(ProcessID pid, const Screen& screen) {
    if (!m_moveWindows)
        return;
    // The move reads nothing of the tracker once started, so it may finish after the tracker.
    m_mainQueue.post([moveWindows = m_moveWindows, sound = &m_sound, pid, screen] {
        moveWindows(pid, screen,
                    [sound](std::int64_t moved, std::int64_t unchanged, std::int64_t skipped) {
                        if (skipped > 0 || moved + unchanged == 0)
                            sound->beep();
                    });
    });
}

void RunningAppsTracker::reorder(std::ptrdiff_t source, std::ptrdiff_t destination) {
    std::vector<std::string> ids;
    ids.reserve(m_apps->size());
    std::unordered_map<std::string, const TrackedApp*> byID;
    for (const TrackedApp& app : m_apps.get()) {
        ids.push_back(app.bundleIdentifier);
        byID.emplace(app.bundleIdentifier, &app);
    }
    std::vector<TrackedApp> reordered;
    reordered.reserve(ids.size());
    for (const std::string& id : m_orderStore.move(source, destination, ids))
        reordered.push_back(*byID.at(id));
    m_apps.set(std::move(reordered));
}

const TrackedApp* RunningAppsTracker::findApp(const std::string& bundleID) const {
    for (const TrackedApp& app : m_apps.get()) {
        if (app.bundleIdentifier == bundleID)
            return &app;
    }
    return nullptr;
}

} // namespace halvo
