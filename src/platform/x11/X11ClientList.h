// One snapshot of the managed client windows (the root's _NET_CLIENT_LIST) grouped into
// applications by WM_CLASS class, read with every request sent before any reply is awaited.
// Snapshots are plain values: any thread may read one and keep it.
#pragma once

#include "platform/RunningApplication.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowType.h"

#include <cstdint>
#include <string>
#include <vector>

namespace halvo {

class X11ClientList {
public:
    static constexpr std::uint32_t allDesktops = 0xFFFFFFFF;

    struct Window {
        xcb_window_t id = XCB_NONE;
        std::string wmClass;
        std::string wmInstance;
        ProcessID netPid = 0;    // _NET_WM_PID, 0 when unset
        ProcessID clientPid = 0; // from the X-Resource extension, 0 when unknown
        X11WindowType::Kind type = X11WindowType::Kind::normal;
        bool normal = true; // type NORMAL or unset, and not skipping the taskbar
        bool dock = false;
        bool desktop = false;
        bool dialog = false;
        bool iconic = false;
        bool fullScreen = false;
        bool maximizedVertically = false;
        bool maximizedHorizontally = false;
        std::uint32_t desktopIndex = allDesktops;
        // Length of _NET_WM_ICON in 32-bit items, 0 when the window has none or it was not asked
        // for. The pixels themselves are never read here.
        std::uint32_t iconLength = 0;
    };

    struct Application {
        std::string wmClass; // also the bundle identifier
        ProcessID pid = 0;
        bool regular = false;
        bool own = false;                         // Halvo's own windows
        std::vector<Window> windows;              // in _NET_CLIENT_LIST order
        std::vector<xcb_window_t> stackedWindows; // topmost first
        bool hidden() const;                      // every window iconified
    };

    // The root's four properties a read starts from.
    struct Root {
        std::vector<std::uint32_t> clients;  // _NET_CLIENT_LIST
        std::vector<std::uint32_t> stacking; // _NET_CLIENT_LIST_STACKING, bottom first
        xcb_window_t activeWindow = XCB_NONE;
        std::uint32_t currentDesktop = 0;
    };
    struct RootRequest {
        xcb_get_property_cookie_t clients, stacking, active, desktop;
    };
    // Sends the requests for the root's properties; receiveRoot() waits for their replies.
    static RootRequest requestRoot(X11Connection& connection);
    static Root receiveRoot(X11Connection& connection, const RootRequest& request);

    // Reads the list; `ownPid` marks Halvo's own windows. With `iconLengths` each window's
    // _NET_WM_ICON length is read too (in the same batch, without its data).
    static X11ClientList read(X11Connection& connection, ProcessID ownPid,
                              bool iconLengths = false);
    // The same from the root's properties, already received.
    static X11ClientList read(X11Connection& connection, Root root, ProcessID ownPid,
                              bool iconLengths);

    // This list with the stacking order, active window and current desktop of `root`, for a
    // change that left the client list and every window's values as they were: nothing is asked.
    X11ClientList restacked(const Root& root) const;
    // Whether `root` holds what this list was made from.
    bool madeFrom(const Root& root) const;
    const std::vector<std::uint32_t>& clients() const { return m_root.clients; }
    // The same for one read and the lists restacked from it; another number for every read.
    std::uint64_t windowsGeneration() const { return m_windowsGeneration; }

    const std::vector<Application>& applications() const { return m_applications; }
    const Application* find(ProcessID pid) const;
    const Application* owner(xcb_window_t window) const;
    const Window* window(xcb_window_t window) const;

    // The window the application would show first: the active window when it is theirs, else
    // the topmost one not minimised, else the topmost.
    xcb_window_t mainWindow(const Application& application) const;

    xcb_window_t activeWindow() const { return m_root.activeWindow; }
    std::uint32_t currentDesktop() const { return m_root.currentDesktop; }

    // A process identifier for applications whose own cannot be trusted: negative, and the same
    // for the same class for as long as the server runs.
    static ProcessID syntheticPid(const std::string& wmClass);

private:
    // Fills each application's stackedWindows from the root's stacking order (bottom first).
    void stackWindows();

    std::vector<Application> m_applications;
    Root m_root;
    std::uint64_t m_windowsGeneration = 0;
};

} // namespace halvo
