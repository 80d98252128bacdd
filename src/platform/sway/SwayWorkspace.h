// The workspace over sway's IPC: applications are the windows of the layout tree grouped by
// app_id (SwayClientList); the frontmost one owns the focused window; activation focuses the
// main window; the notifications come from sway's window events, each followed by one read of
// the tree that tells what changed. Halvo's own windows (its process) are listed as an
// accessory, as on X11.
#pragma once

#include "platform/AppKeys.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceObservers.h"
#include "platform/linux/DesktopEntryIndex.h"
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
    // Where names and theme icons come from. Unset members: no desktop entries, and every icon
    // name counts as drawable.
    struct DesktopEntries {
        // The desktop entry of an application, by its app_id (or WM_CLASS class and instance).
        std::function<std::optional<DesktopEntry>(const std::string& appKey,
                                                  const std::string& instance)>
            find;
        // Whether the icon theme (or the file system, for an absolute path) has that icon.
        std::function<bool(const std::string& iconName)> iconExists;

        // The installed entries of `index` (which must outlive the workspace), with Qt's icon
        // theme deciding which icon names can be drawn. Needs a QGuiApplication.
        static DesktopEntries installed(const DesktopEntryIndex& index);
    };

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
    struct AppInfo {
        std::optional<std::string> name;
        AppIconRef themeIcon; // the same object for as long as the workspace lives
    };

    std::optional<SwayClientList> read();
    RunningApplication describe(const SwayClientList::Application& application);
    const AppInfo& appInfo(const SwayClientList::Application& application);
    bool focus(std::int64_t conId);
    // Compares the tree with the last one seen and posts what changed.
    void update();

    SwayIpcPool& m_pool;
    SwayTreeCache& m_tree;
    DesktopEntries m_desktopEntries;
    std::unordered_map<std::string, AppInfo> m_apps;
    WorkspaceObservers m_observers;
    AppKeys m_reported; // the applications last reported to observers

    // update() after the events that have arrived together.
    QTimer m_pendingUpdate;
};

} // namespace halvo
