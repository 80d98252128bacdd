// The workspace over EWMH: applications are the managed client windows grouped by WM_CLASS
// class; activation goes through _NET_ACTIVE_WINDOW; the five notifications come from property
// changes on the root and on the client windows.
#pragma once

#include "platform/Workspace.h"
#include "platform/x11/X11ClientList.h"
#include "platform/x11/X11Connection.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace halvo {

class X11Workspace final : public Workspace {
public:
    // Fills in what the window properties cannot tell: a localized name and an icon (from a
    // desktop entry, an icon theme or _NET_WM_ICON). Without one the class is the name.
    using Describer =
        std::function<void(const X11ClientList::Application& application, RunningApplication&)>;

    // Main thread. Starts listening for the notifications at once.
    X11Workspace(X11Connection& connection, ProcessID ownPid);
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    void setDescriber(Describer describer) { m_describer = std::move(describer); }

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    void unhide(ProcessID pid) override;
    // Switches to the main window's desktop when it is on another one, then asks the window
    // manager to activate it; completes before returning.
    void openApplication(ProcessID pid, OpenCompletion completion) override;
    bool activate(ProcessID pid) override;
    // Hands the URL to xdg-open without waiting for it.
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

private:
    // The client list as the server has it now: the snapshot kept from the last read while no
    // property of the root or of a watched client window has changed since, else a new read.
    // Costs one round trip instead of several requests per window.
    std::shared_ptr<const X11ClientList> clientList();
    RunningApplication describe(const X11ClientList::Application& application) const;
    bool activateMainWindow(const X11ClientList& list, const X11ClientList::Application& app);
    void sendToRoot(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1,
                    std::uint32_t d2);
    void handleEvent(const xcb_generic_event_t& event);
    // Compares the client list with the last one seen and posts what changed.
    void update(bool activeChanged);
    void watch(xcb_window_t window);
    void notify(WorkspaceNotification name);

    X11Connection& m_connection;
    ProcessID m_ownPid;
    Describer m_describer;
    X11Connection::ListenerID m_listener = 0;
    ObserverToken m_nextObserver = 1;
    std::map<ObserverToken, std::pair<WorkspaceNotification, std::function<void()>>> m_observers;

    std::set<std::string> m_knownClasses;
    std::set<std::string> m_hiddenClasses;
    std::string m_frontmostClass;
    std::set<xcb_window_t> m_watched;
    // Dropped by handleEvent on every property change it could have missed.
    std::shared_ptr<const X11ClientList> m_snapshot;
};

} // namespace halvo
