// Brings one running application to the front and raises one of its windows, through a short
// asynchronous pipeline on the main thread in which a newer request silently ends older ones.
#pragma once

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/WindowControl.h"
#include "platform/WindowInfo.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace halvo {

class AppActivator {
public:
    static constexpr double activationDelay = 0.035;
    static constexpr double confirmationDelay = 0.15;

    AppActivator(Workspace& workspace, WindowControl& windowControl, MainQueue& mainQueue,
                 Log& log);
    AppActivator(const AppActivator&) = delete;
    AppActivator& operator=(const AppActivator&) = delete;

    // Main thread. The completion runs at most once: false when a check fails or the application
    // was not frontmost `confirmationDelay` after its activation, true when it was; never when a
    // newer request replaced this one. A process that is gone (or cannot be opened) completes
    // false before this returns, and still ends every older request. The delay counts from
    // `requestTime` (the main queue's clock) when given: the moment the user asked, which may
    // be a little before the request reaches the activator.
    void activate(ProcessID pid, std::function<void(bool)> completion,
                  std::optional<double> requestTime = std::nullopt);

    // Un-minimises, raises and focuses the application's main window (or its first real window
    // when there is no main one or it is part of the desktop), from one read of its windows.
    // True when the raise succeeded; false when no window qualified.
    bool raiseWindows(ProcessID pid);

    // Whether the window is one to raise, move or put in full screen: anything but a part of the
    // desktop (a desktop or a dock) that has a frame (a window gone since the read has none).
    static bool isWindow(const WindowInfo& window);

private:
    using Token = std::uint64_t;

    void openAfterDelay(Token token, ProcessID pid, std::string bundleID,
                        std::function<void(bool)> completion);
    void handleOpenResult(Token token, ProcessID pid, const std::string& bundleID,
                          std::optional<RunningApplication> application,
                          std::optional<std::string> error, std::function<void(bool)> completion);
    void confirm(Token token, ProcessID pid, const std::string& bundleID,
                 std::function<void(bool)> completion);

    Workspace& m_workspace;
    WindowControl& m_windowControl;
    MainQueue& m_mainQueue;
    Log& m_log;
    // The latest request; every step of an older one sees a different value and stops.
    Token m_latestToken;
    // Delayed steps hold this weakly and do nothing once the activator is gone.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace halvo
