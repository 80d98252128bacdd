// The running applications, the frontmost one, and the requests that bring one forward.
#pragma once

#include "platform/RunningApplication.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvo {

enum class WorkspaceNotification {
    didLaunchApplication,
    didTerminateApplication,
    didActivateApplication,
    didHideApplication,
    didUnhideApplication,
};

using ObserverToken = std::uint64_t;

class Workspace {
public:
    // The result of an open request: the application on success, else an error description.
    // Both may be absent ("application unavailable").
    using OpenCompletion = std::function<void(std::optional<RunningApplication> application,
                                              std::optional<std::string> error)>;

    virtual ~Workspace() = default;

    // In the workspace's order (launch order). Main thread.
    virtual std::vector<RunningApplication> runningApplications() = 0;

    // The running application with that process identifier; nothing when there is none.
    virtual std::optional<RunningApplication> runningApplication(ProcessID pid) = 0;

    // The application owning the active window; nothing when none does.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;

    // Both of the above as of one moment. A workspace whose every query waits for its server
    // answers both with one wait; this one asks twice.
    virtual std::pair<std::vector<RunningApplication>, std::optional<RunningApplication>>
    runningAndFrontmostApplications() {
        auto running = runningApplications();
        return {std::move(running), frontmostApplication()};
    }

    // Brings back an application whose windows are all hidden (iconified); harmless otherwise.
    virtual void unhide(ProcessID pid) = 0;

    // Asks for the application to be opened and activated, never as a new instance. The
    // completion runs later, on any thread.
    virtual void openApplication(ProcessID pid, OpenCompletion completion) = 0;

    // Asks for the application to become active; returns whether the request was sent.
    virtual bool activate(ProcessID pid) = 0;

    // Opens a URL with the desktop's opener; returns whether it was handed over.
    virtual bool openURL(const std::string& url) = 0;

    // The handler runs on the main thread after the event; the notification carries no details.
    virtual ObserverToken addObserver(WorkspaceNotification name,
                                      std::function<void()> handler) = 0;
    virtual void removeObserver(ObserverToken token) = 0;
};

} // namespace halvo
