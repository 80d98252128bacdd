// A simulated desktop for tests: running applications with their windows, the frontmost
// application, open requests the test answers, and a record of everything the logic asked for.
// Reach it through workspace() and accessibility(); drive it through the test controls.
#pragma once

#include "platform/MainQueue.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimAppAttributes.h"
#include "platform/sim/SimWindowAttributes.h"
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
    enum class AXOperation { copy, set, settable, perform };
    enum class OpenMode { immediate, deferred };

    struct AttributeWrite {
        AXElement element;
        std::string attribute;
        AXValue value;
    };

    SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    Workspace& workspace() { return m_workspace; }
    Accessibility& accessibility() { return m_accessibility; }

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
    AXElement windowElement(std::uint64_t window) const;
    std::vector<std::uint64_t> windowOrder(ProcessID pid) const;

    // Makes every `operation` on `name` of `element` fail with `error` (an application element
    // fails for the application, a window element for that window). Actions use the action name.
    void failAX(const AXElement& element, AXOperation operation, const std::string& name,
                AXError error = kAXErrorCannotComplete);
    // Reads of `name` on `element` answer `value` instead of the modelled one.
    void overrideAttribute(const AXElement& element, const std::string& name, AXValue value);

    // Open requests. Immediate mode answers at once with success; deferred mode keeps them until
    // the test completes or fails them (oldest first).
    void setOpenMode(OpenMode mode);
    std::size_t pendingOpenCount() const;
    void completeOpen(std::size_t index = 0);
    void failOpen(std::size_t index = 0, std::optional<std::string> error = std::nullopt);

    // Permission.
    void setTrusted(bool trusted);
    int promptCount() const;

    // Notifications go through `queue` when set (as the real workspace delivers them after the
    // event), otherwise they run at once.
    void setNotificationQueue(MainQueue* queue);

    // What the logic asked for.
    std::vector<ProcessID> activations() const;
    std::vector<ProcessID> opens() const;
    std::vector<ProcessID> unhides() const;
    std::vector<AXElement> raises() const;
    std::vector<AttributeWrite> attributeWrites() const;
    std::vector<std::string> openedURLs() const;
    // Accessibility calls other than the permission checks.
    std::size_t accessibilityCallCount() const;
    std::vector<std::pair<AXElement, float>> messagingTimeouts() const;

private:
    friend class SimWorkspace;
    friend class SimAccessibility;

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
    using FailureKey = std::tuple<ProcessID, std::uint64_t, AXOperation, std::string>;

    App* findApp(ProcessID pid);
    const App* findApp(ProcessID pid) const;
    Window* findWindow(std::uint64_t id);
    std::vector<Window*> windowsOf(ProcessID pid);
    std::optional<RunningApplication> snapshot(ProcessID pid) const;
    std::optional<AXError> injectedFailure(const AXElement& element, AXOperation operation,
                                           std::string_view name) const;
    // Frontmost change without locking; returns whether it changed.
    bool makeFrontmost(std::optional<ProcessID> pid);
    void notify(WorkspaceNotification name);
    void finishOpen(std::size_t index, bool success, std::optional<std::string> error);

    mutable std::recursive_mutex m_mutex;
    SimWorkspace m_workspace;
    SimAccessibility m_accessibility;

    std::vector<App> m_apps;
    std::vector<Window> m_windows; // application window order: earlier is further front
    std::uint64_t m_nextWindowID = 1;
    std::optional<ProcessID> m_frontmost;

    std::map<FailureKey, AXError> m_failures;
    std::map<std::tuple<ProcessID, std::uint64_t, std::string>, AXValue> m_overrides;

    OpenMode m_openMode = OpenMode::immediate;
    std::vector<OpenRequest> m_pendingOpens;

    bool m_trusted = true;
    int m_prompts = 0;

    MainQueue* m_notificationQueue = nullptr;
    ObserverToken m_nextObserver = 1;
    std::map<ObserverToken, std::pair<WorkspaceNotification, std::function<void()>>> m_observers;

    std::vector<ProcessID> m_activations;
    std::vector<ProcessID> m_opens;
    std::vector<ProcessID> m_unhides;
    std::vector<AXElement> m_raises;
    std::vector<AttributeWrite> m_writes;
    std::vector<std::string> m_urls;
    std::size_t m_axCalls = 0;
    std::vector<std::pair<AXElement, float>> m_timeouts;
};

} // namespace halvo
