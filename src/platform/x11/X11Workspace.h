// The workspace over EWMH: applications are the managed client windows grouped by WM_CLASS
// class; activation goes through _NET_ACTIVE_WINDOW; the five notifications come from property
// changes on the root and on the client windows.
#pragma once

#include "platform/AppKeys.h"
#include "platform/Workspace.h"
#include "platform/WorkspaceObservers.h"
#include "platform/linux/DesktopAppCatalog.h"
#include "platform/x11/X11ClientList.h"
#include "platform/x11/X11Connection.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

namespace halvo {

class X11Workspace final : public Workspace {
public:
    // The side, in points, of the icons the overlay draws.
    static constexpr double iconPoints = 52;
    // _NET_WM_ICON data beyond this many 32-bit items (4 MiB) is not read.
    static constexpr std::uint32_t maximumIconItems = 1u << 20;

    using DesktopEntries = DesktopAppCatalog::Entries;

    // Main thread, and only ever used there: it caches icons without locks. Starts listening
    // for the notifications at once.
    X11Workspace(X11Connection& connection, ProcessID ownPid);
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    // Names and icons: a desktop entry gives the localized name and a theme icon; else the
    // window's own _NET_WM_ICON gives the icon; the class is the name of last resort. Set before
    // the first query; lookups are cached per class.
    void setDesktopEntries(DesktopEntries entries);
    // Device pixels per point on the screen the overlay draws on; picks the _NET_WM_ICON image.
    void setIconScale(double scale) { m_iconScale = scale; }

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    // One round trip for both.
    std::pair<std::vector<RunningApplication>, std::optional<RunningApplication>>
    runningAndFrontmostApplications() override;
    void unhide(ProcessID pid) override;
    // Switches to the main window's desktop when it is on another one, then asks the window
    // manager to activate it; completes before returning.
    void openApplication(ProcessID pid, OpenCompletion completion) override;
    bool activate(ProcessID pid) override;
    // Hands the URL to xdg-open without waiting for it.
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

    // How many icon pixel fetches the workspace has made (each reads one window's _NET_WM_ICON
    // once); for tests and measurements.
    std::size_t iconFetches() const { return m_iconFetches; }

private:
    struct WindowIcon {
        std::uint32_t length = 0; // the _NET_WM_ICON length the pixels were read at
        AppIconRef icon;          // nothing when the data held no usable image
    };

    // The client list as the server has it now (with icon lengths). Costs one round trip, which
    // also sets m_syncTime, and after a change the requests for what changed.
    std::shared_ptr<const X11ClientList> clientList();
    // The kept snapshot, when no change of the root's properties or of a window's values was
    // noted since it was made, else the client list as the server has it now.
    std::shared_ptr<const X11ClientList> updatedClientList();
    // Whether no change was noted since the snapshot was made.
    bool snapshotIsCurrent() const;
    // The requests for the root's properties when the snapshot is not current.
    std::optional<X11ClientList::RootRequest> requestRootUnlessCurrent();
    // The snapshot brought up to `root` (just received): kept while the client list and every
    // window's values are as they were, restacked when only the stacking order, the active
    // window or the desktop changed, else read anew.
    std::shared_ptr<const X11ClientList> current(X11ClientList::Root root);
    void note(const xcb_generic_event_t& event);
    RunningApplication describe(const X11ClientList::Application& application);
    std::vector<RunningApplication> describeAll(const std::shared_ptr<const X11ClientList>& list);
    std::optional<RunningApplication> frontmostOf(const X11ClientList& list);
    const DesktopAppCatalog::Info& classInfo(const X11ClientList::Application& application);
    // Reads, in one batch, the _NET_WM_ICON pixels that the regular ones among `applications`
    // lack an icon for: one window per application, only windows not read at their length yet.
    void loadIcons(const std::vector<const X11ClientList::Application*>& applications);
    // The application's cached pixel icon: its first window with a usable one read at its
    // current length. `unread` receives the first window that still needs reading.
    AppIconRef windowIcon(const X11ClientList::Application& application,
                          xcb_window_t* unread = nullptr) const;
    void forgetIconsNotIn(const X11ClientList& list);
    bool onOwnThread() const { return std::this_thread::get_id() == m_thread; }
    bool activateMainWindow(const X11ClientList& list, const X11ClientList::Application& app);
    void handleEvent(const xcb_generic_event_t& event);
    // Compares the client list with the last one seen and posts what changed.
    void update(bool activeChanged);
    AppKeys keysOf(const X11ClientList& list) const;
    // Posts what changed since the last report and keeps `keys` as the last report.
    void report(AppKeys keys, bool frontMayHaveChanged);

    X11Connection& m_connection;
    ProcessID m_ownPid;
    std::thread::id m_thread = std::this_thread::get_id();
    DesktopAppCatalog m_catalog;
    double m_iconScale = 1.0;
    std::unordered_map<xcb_window_t, WindowIcon> m_windowIcons;
    std::size_t m_iconFetches = 0;
    X11Connection::ListenerID m_listener = 0;
    X11Connection::ListenerID m_note = 0;
    xcb_atom_t m_clientListAtom, m_stackingAtom, m_activeAtom, m_desktopAtom;
    WorkspaceObservers m_observers;
    AppKeys m_reported; // the classes last reported to observers
    std::shared_ptr<const X11ClientList> m_snapshot;
    // The sequence number of the snapshot's root read: a change of a root property reported
    // with an earlier one (made before the server took the read) is in the snapshot already.
    std::uint32_t m_rootSequence = 0;
    bool m_rootChanged = true;
    // The kept values' changes() when the snapshot was read: another count means a window changed.
    std::uint64_t m_snapshotChanges = 0;
    // The last descriptions runningApplications() made, and what they were made from.
    struct Described {
        std::uint64_t windowsGeneration = 0;
        std::size_t iconFetches = 0;
        std::uint64_t classesGeneration = 0;
        std::vector<RunningApplication> applications;
    };
    Described m_described;
    std::uint64_t m_classesGeneration = 0; // counts setDesktopEntries calls
    // The server time of clientList()'s last round trip.
    xcb_timestamp_t m_syncTime = XCB_CURRENT_TIME;
};

} // namespace halvo
