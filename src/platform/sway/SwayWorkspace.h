// The workspace over sway's IPC: applications are the windows of the layout tree grouped by
// app_id (SwayClientList); the frontmost one owns the focused window; activation focuses the
// main window unless it has the focus already; the notifications come from sway's window events,
// each followed by one read of the tree that tells what changed. Halvo's own windows (its process)
// are listed as an accessory, as on X11.
#pragma once

#include "platform/AppKeys.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceObservers.h"
#include "platform/linux/DesktopAppCatalog.h"
#include "platform/sway/SwayClientList.h"
#include "platform/sway/SwayIpcEvents.h"
#include "platform/sway/SwayIpcPool.h"
#include "platform/sway/SwayTreeCache.h"

#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

namespace halvo {

class SwayWorkspace final : public Workspace {
public:
    using DesktopEntries = DesktopAppCatalog::Entries;

    // Main thread. `events` must be subscribed to "window" events and outlive the workspace;
    // the tree comes from `tree`, shared with the window control.
    SwayWorkspace(SwayIpcPool& pool, SwayIpcEvents& events, SwayTreeCache& tree);
    SwayWorkspace(const SwayWorkspace&) = delete;
    SwayWorkspace& operator=(const SwayWorkspace&) = delete;

    // Names and icons from desktop entries, else the app_id; lookups are cached per app_id.
    void setDesktopEntries(DesktopEntries entries);

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    // Shows the windows of an application that are all in the scratchpad.
    void unhide(ProcessID pid) override;
    void openApplication(ProcessID pid, OpenCompletion completion) override;
    bool activate(ProcessID pid) override;
    // Hands the URL to xdg-open without waiting for it.
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

private:
    std::optional<SwayClientList> read();
    RunningApplication describe(const SwayClientList::Application& application);
    const DesktopAppCatalog::Info& appInfo(const SwayClientList::Application& application);
    // Focuses the window unless the tree shows it focused already.
    bool focus(const SwayClientList::Window& window);
    // Compares the tree with the last one seen and posts what changed.
    void update();
    static AppKeys keysOf(const SwayClientList& list);
    // Posts what changed since the last report and keeps `keys` as the last report.
    void report(AppKeys keys, bool frontMayHaveChanged);

    SwayIpcPool& m_pool;
    SwayTreeCache& m_tree;
    DesktopAppCatalog m_catalog;
    WorkspaceObservers m_observers;
    AppKeys m_reported; // the applications last reported to observers

    // update() after the events that have arrived together.
    QTimer m_pendingUpdate;
};

} // namespace halvo
