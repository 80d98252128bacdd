// The workspace in a KWin session, from the script's reports: applications are the windows of
// other processes grouped by desktop file name (else resource class); the frontmost owns KWin's
// active window; activation asks the script to activate the main window; the notifications come
// from the script's reports of windows added, removed, activated and minimised.
#pragma once

#include "platform/AppKeys.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceObservers.h"
#include "platform/kwin/KWinState.h"
#include "platform/linux/DesktopAppCatalog.h"

namespace halvo {

class KWinScriptChannel;

class KWinWorkspace final : public Workspace {
public:
    using DesktopEntries = DesktopAppCatalog::Entries;

    // Main thread; `channel` must outlive the workspace.
    explicit KWinWorkspace(KWinScriptChannel& channel);
    // Stops hearing the channel's reports (it may outlive the workspace).
    ~KWinWorkspace() override;
    KWinWorkspace(const KWinWorkspace&) = delete;
    KWinWorkspace& operator=(const KWinWorkspace&) = delete;

    void setDesktopEntries(DesktopEntries entries);

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    void unhide(ProcessID pid) override;
    void openApplication(ProcessID pid, OpenCompletion completion) override;
    bool activate(ProcessID pid) override;
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

private:
    RunningApplication describe(const KWinState::Application& application);
    bool activateWindow(WindowID id);
    void update();
    static AppKeys keysOf(const KWinState& state);

    KWinScriptChannel& m_channel;
    DesktopAppCatalog m_catalog;
    WorkspaceObservers m_observers;
    AppKeys m_reported;
};

} // namespace halvo
