// The workspace side of the simulated desktop.
#pragma once

#include "platform/Workspace.h"

namespace halvo {

class SimDesktop;

class SimWorkspace final : public Workspace {
public:
    explicit SimWorkspace(SimDesktop& desktop) : m_desktop(desktop) {}

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    void unhide(ProcessID pid) override;
    // Immediate mode completes before returning; deferred mode waits for SimDesktop::completeOpen.
    void openApplication(ProcessID pid, OpenCompletion completion) override;
    bool activate(ProcessID pid) override;
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

private:
    SimDesktop& m_desktop;
};

} // namespace halvo
