// The switcher's model: the switchable running applications in custom order, the frontmost and
// the selected one, stepping the selection, bringing applications forward, and moving the selected
// application's windows to another screen.
//
// The switcher's own activations change the frontmost application and the workspace reports each
// change back. So the list is frozen during a switch, the activation in flight is remembered, the
// selection follows the frontmost application only when that really changed, and results of
// activations that a newer one replaced are ignored.
#pragma once

#include "core/AppOrderStore.h"
#include "core/TrackedApp.h"
#include "platform/MainQueue.h"
#include "platform/Published.h"
#include "platform/Screens.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvo {

class RunningAppsTracker {
public:
    // The identifier under which Halvo itself would be listed (the WM_CLASS class Qt gives its
    // windows); excluded explicitly, although the X11 workspace already reports Halvo's own
    // windows as not regular.
    static constexpr const char* ownBundleIdentifier = "Halvo";

    using ActivationCompletion = std::function<void(bool confirmed)>;
    using Activate = std::function<void(ProcessID pid, ActivationCompletion completion)>;
    using MoveCompletion =
        std::function<void(std::int64_t moved, std::int64_t unchanged, std::int64_t skipped)>;
    // Moves all windows of an application to a screen and reports the counts on the main thread.
    using MoveWindows = std::function<void(ProcessID pid, const Screen& screen, MoveCompletion)>;

    // Everything the tracker asks of the platform.
    struct Environment {
        // The switchable running applications in the workspace's order, never the excluded
        // identifier, at most one per bundle identifier.
        std::function<std::vector<TrackedApp>(const std::string& excludedBundleID)> runningApps;
        // The frontmost application's bundle identifier when it is a regular application.
        std::function<std::optional<std::string>()> frontmostBundleID;
        // Starts bringing an application forward; calls the completion once with whether it was
        // confirmed frontmost, or never when a newer activation replaced it. The completion may
        // run before `activate` returns.
        Activate activate;
        // Optional: runningApps and frontmostBundleID as of one moment, for one query of the
        // platform instead of two.
        std::function<std::pair<std::vector<TrackedApp>, std::optional<std::string>>(
            const std::string& excludedBundleID)>
            runningAppsAndFrontmost;

        // Regular applications with a bundle identifier that are not terminated and not the
        // excluded one, the first process per identifier winning.
        static Environment live(Workspace& workspace, Activate activate);
    };

    // What the tracker uses besides the environment.
    struct Services {
        MainQueue& mainQueue;
        SystemSound& sound;
        MoveWindows moveWindows;
    };

    // On the live environment over `workspace`: refreshes once, then follows the workspace's five
    // notifications until destroyed.
    RunningAppsTracker(AppOrderStore orderStore, Workspace& workspace, Activate activate,
                       Services services);
    // On an injected environment: refreshes once and registers no observer.
    RunningAppsTracker(AppOrderStore orderStore, Environment environment, Services services);
    ~RunningAppsTracker();
    RunningAppsTracker(const RunningAppsTracker&) = delete;
    RunningAppsTracker& operator=(const RunningAppsTracker&) = delete;

    const Published<std::vector<TrackedApp>>& apps() const { return m_apps; }
    const Published<std::optional<std::string>>& frontmostBundleID() const {
        return m_frontmostBundleID;
    }
    const Published<std::optional<std::string>>& selectedBundleID() const {
        return m_selectedBundleID;
    }
    bool isSwitching() const { return m_isSwitching; }
    // The application whose activation is in flight: what the last step brings forward.
    const std::optional<std::string>& pendingBundleID() const { return m_pendingBundleID; }

    // Rebuilds the list (not during a switch), reads the frontmost application and lets the
    // selection follow it when it changed, unless a switch is open, an activation is in flight
    // or `keepSelection` is set. A selection that vanished falls back to the tracked frontmost.
    void refresh(bool keepSelection);

    // Refreshes once and freezes the list; nothing when a switch is already open.
    void beginSwitching();
    // Unfreezes and rebuilds the list, keeping the selection made during the switch.
    void endSwitching();

    // Selects and activates the next (or previous) application, starting from the activation in
    // flight, else the selection, else the frontmost application; wraps at both ends.
    void cycle(bool backward);

    // The index one step from `current` in `ids`: wraps at both ends; with `current` absent or
    // unknown, the first (forward) or the last (backward); nothing for an empty list.
    static std::optional<std::size_t> cycledIndex(const std::optional<std::string>& current,
                                                  const std::vector<std::string>& ids,
                                                  bool backward);

    // Selects the tracked application and starts its activation, replacing any in flight and
    // dropping a move that waited for it. Unknown identifiers do nothing.
    void activate(const std::string& bundleID);

    // Moves the selected (else frontmost) application's windows to `screen`, or remembers the
    // screen until the activation in flight succeeds. Beeps when a window stayed behind or none
    // was found.
    void moveSelectedApp(const Screen& screen);

    // Moves the application at `source` into the gap `destination` and stores the new order.
    // Invalid indices change nothing.
    void reorder(std::ptrdiff_t source, std::ptrdiff_t destination);

private:
    RunningAppsTracker(AppOrderStore orderStore, Environment environment, Services services,
                       Workspace* observedWorkspace);
    void observe(Workspace& workspace);
    void completeActivation(bool succeeded, const TrackedApp& app);
    void startWindowMove(ProcessID pid, const Screen& screen);
    const TrackedApp* findApp(const std::string& bundleID) const;

    Published<std::vector<TrackedApp>> m_apps;
    Published<std::optional<std::string>> m_frontmostBundleID;
    Published<std::optional<std::string>> m_selectedBundleID;
    AppOrderStore m_orderStore;
    Workspace* m_observedWorkspace = nullptr;
    std::vector<ObserverToken> m_observers;
    std::optional<std::string> m_pendingBundleID;
    std::optional<Screen> m_pendingMoveScreen;
    std::uint64_t m_activationRequest = 0;
    Environment m_environment;
    std::optional<std::string> m_lastObservedFrontmostBundleID;
    bool m_isSwitching = false;
    MainQueue& m_mainQueue;
    SystemSound& m_sound;
    MoveWindows m_moveWindows;
    // Callbacks handed out hold this weakly and do nothing once the tracker is gone.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace halvo
