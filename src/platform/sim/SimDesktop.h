// A simulated desktop for tests: running applications with their windows, the frontmost
// application, open requests the test answers, and a record of everything the logic asked for.
// Reach it through workspace() and windowControl(); drive it through the test controls.
#pragma once

#include "platform/MainQueue.h"
#include "platform/sim/SimAppAttributes.h"
#include "platform/sim/SimWindowAttributes.h"
#include "platform/sim/SimWindowControl.h"
#include "platform/sim/SimWorkspace.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace halvo {

class SimDesktop {
public:
    enum class WindowOperation { raise, activate, setMinimized, setFrame, setFullScreen };
    enum class OpenMode { immediate, deferred };

    // A change the logic asked for; `frame` for setFrame, `value` for the two states.
    struct WindowRequest {
        WindowOperation operation = WindowOperation::raise;
        WindowID window = 0;
        Rect frame{};
        bool value = false;
        bool operator==(const WindowRequest&) const = default;
    };

    SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    Workspace& workspace() { return m_workspace; }
    WindowControl& windowControl() { return m_windowControl; }

    // Applications. launch and quit post the launch and terminate notifications.
    void launch(SimAppAttributes attributes);
    void quit(ProcessID pid);
    // Keeps the application listed but reported as terminated.
    void markTerminated(ProcessID pid);
    // Makes the application frontmost (nothing: none is), as the user would; posts the
    // activate notification when the frontmost application changes.
    void bringToFront(std::optional<ProcessID> pid);
    std::optional<ProcessID> frontmostPid() const;
    // Hides or shows all of an application's windows, posting hide or unhide.
    void setHidden(ProcessID pid, bool hidden);
    bool isHidden(ProcessID pid) const;

    // Windows, in the application's window order (front first); a new window goes to the back.
    std::uint64_t addWindow(ProcessID pid, SimWindowAttributes attributes);
    void removeWindow(std::uint64_t window);
    // The window's current state; the test may change it between calls of the logic.
    SimWindowAttributes& window(std::uint64_t window);
    std::vector<std::uint64_t> windowOrder(ProcessID pid) const;

    // Makes every `operation` on `window` answer `result` without changing anything.
    void failWindow(std::uint64_t window, WindowOperation operation,
                    WindowResult result = WindowResult::failed);
    // Makes reads of the application's windows answer nothing, as for a vanished application.
    void failWindowReads(ProcessID pid);

    // Open requests. Immediate mode answers at once with success; deferred mode keeps them until
    // the test completes or fails them (oldest first).
    void setOpenMode(OpenMode mode);
    std::size_t pendingOpenCount() const;
    void completeOpen(std::size_t index = 0);
    void failOpen(std::size_t index = 0, std::optional<std::string> error = std::nullopt);

    // Whether a window manager is running (the one trust check).
    void setWindowManagerRunning(bool running);

    // Notifications go through `queue` when set (as the real workspace delivers them after the
    // event), otherwise they run at once.
    void setNotificationQueue(MainQueue* queue);

    // What the logic asked for.
    std::vector<ProcessID> activations() const;
    std::vector<ProcessID> opens() const;
    std::vector<ProcessID> unhides() const;
    // Windows raised successfully, in order.
    std::vector<std::uint64_t> raises() const;
    // Every window change asked for, failed ones included.
    std::vector<WindowRequest> windowRequests() const;
    std::vector<std::string> openedURLs() const;
    // Reads of an application's windows.
    std::size_t windowReadCount() const;

private:
    friend class SimWorkspace;
    friend class SimWindowControl;

    struct App {
        SimAppAttributes attributes;
        bool terminated = false;
    };
    struct Window {
        std::uint64_t id = 0;
        ProcessID pid = 0;
        SimWindowAttributes attributes;
    };
    struct OpenRequest {
        ProcessID pid = 0;
        Workspace::OpenCompletion completion;
    };

    App* findApp(ProcessID pid);
    const App* findApp(ProcessID pid) const;
    Window* findWindow(std::uint64_t id);
    std::vector<Window*> windowsOf(ProcessID pid);
    std::optional<RunningApplication> snapshot(ProcessID pid) const;
    std::optional<WindowResult> injectedFailure(std::uint64_t window,
                                                WindowOperation operation) const;
    // Frontmost change without locking; returns whether it changed.
    bool makeFrontmost(std::optional<ProcessID> pid);
    void notify(WorkspaceNotification name);
    void finishOpen(std::size_t index, bool success, std::optional<std::string> error);

    mutable std::recursive_mutex m_mutex;
    SimWorkspace m_workspace;
    SimWindowControl m_windowControl;

    std::vector<App> m_apps;
    std::vector<Window> m_windows; // application window order: earlier is further front
    std::uint64_t m_nextWindowID = 1;
    std::optional<ProcessID> m_frontmost;

    std::map<std::pair<std::uint64_t, WindowOperation>, WindowResult> m_failures;
    std::vector<ProcessID> m_unreadable;

    OpenMode m_openMode = OpenMode::immediate;
    std::vector<OpenRequest> m_pendingOpens;

    bool m_windowManagerRunning = true;

    MainQueue* m_notificationQueue = nullptr;
    ObserverToken m_nextObserver = 1;
    std::map<ObserverToken, std::pair<WorkspaceNotification, std::function<void()>>> m_observers;

    std::vector<ProcessID> m_activations;
    std::vector<ProcessID> m_opens;
    std::vector<ProcessID> m_unhides;
    std::vector<std::uint64_t> m_raises;
    std::vector<WindowRequest> m_requests;
    std::vector<std::string> m_urls;
    std::size_t m_windowReads = 0;
};

} // namespace halvo
