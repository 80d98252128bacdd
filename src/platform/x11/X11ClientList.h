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

    // Reads the list; `ownPid` marks Halvo's own windows. With `iconLengths` each window's
    // _NET_WM_ICON length is read too (in the same batch, without its data).
    static X11ClientList read(X11Connection& connection, ProcessID ownPid,
                              bool iconLengths = false);

    const std::vector<Application>& applications() const { return m_applications; }
    const Application* find(ProcessID pid) const;
    const Application* owner(xcb_window_t window) const;
    const Window* window(xcb_window_t window) const;

    // The window the application would show first: the active window when it is theirs, else
    // the topmost one not minimised, else the topmost.
    xcb_window_t mainWindow(const Application& application) const;

    xcb_window_t activeWindow() const { return m_activeWindow; }
    std::uint32_t currentDesktop() const { return m_currentDesktop; }

    // A process identifier for applications whose own cannot be trusted: negative, and the same
    // for the same class for as long as the server runs.
    static ProcessID syntheticPid(const std::string& wmClass);

private:
    // Fills each application's stackedWindows from the root's stacking order (bottom first).
    void stackWindows(const std::vector<std::uint32_t>& stacking);

    std::vector<Application> m_applications;
    xcb_window_t m_activeWindow = XCB_NONE;
    std::uint32_t m_currentDesktop = 0;
};

} // namespace halvo
