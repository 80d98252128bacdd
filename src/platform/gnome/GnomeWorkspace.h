// The workspace in GNOME Shell, through Halvo's extension: applications are the shell's windows
// grouped by app id (GnomeWindowList); the frontmost one owns the focused window; the
// notifications come from the extension's window and focus signals, each burst followed by one
// read that tells what changed. Halvo's own windows are listed as an accessory, as on X11.
#pragma once

#include "platform/AppKeys.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceObservers.h"
#include "platform/gnome/GnomeWindowList.h"
#include "platform/linux/DesktopAppCatalog.h"

#include <QTimer>

namespace halvo {

class GnomeShellClient;

class GnomeWorkspace final : public Workspace {
public:
    // Main thread; `shell` outlives the workspace.
    explicit GnomeWorkspace(GnomeShellClient& shell);
    GnomeWorkspace(const GnomeWorkspace&) = delete;
    GnomeWorkspace& operator=(const GnomeWorkspace&) = delete;

    // Names and icons from desktop entries, else the app id; lookups are cached per app id.
    void setDesktopEntries(DesktopAppCatalog::Entries entries);

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    // Un-minimises the windows of an application whose windows are all minimised.
    void unhide(ProcessID pid) override;
    void openApplication(ProcessID pid, OpenCompletion completion) override;
    bool activate(ProcessID pid) override;
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

private:
    std::optional<GnomeWindowList> read() const;
    RunningApplication describe(const GnomeWindowList::Application& application);
    bool focus(const GnomeWindowList& list, const GnomeWindowList::Window& window);
    void update();
    static AppKeys keysOf(const GnomeWindowList& list);
    void report(AppKeys keys, bool frontMayHaveChanged);

    GnomeShellClient& m_shell;
    DesktopAppCatalog m_catalog;
    WorkspaceObservers m_observers;
    AppKeys m_reported;
    QTimer m_pendingUpdate; // update() once for the signals that arrived together
};

} // namespace halvo
