// What a user would see on a test's X server, read through its own xcb connection: Halvo's
// windows, the active window, window states and frames, and pointer input through XTEST.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace halvo::test {

struct WindowFrame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class DesktopReader {
public:
    explicit DesktopReader(const std::string& display);
    ~DesktopReader();
    DesktopReader(const DesktopReader&) = delete;
    DesktopReader& operator=(const DesktopReader&) = delete;

    // Top-level windows (children of the root) whose WM_CLASS class is `wmClass`, bottom first.
    std::vector<xcb_window_t> topLevels(const std::string& wmClass) const;
    // Halvo's overlay: a mapped override-redirect top-level window of class "halvo".
    std::optional<xcb_window_t> visibleOverlay() const;
    // A window of class "halvo" named `name` anywhere in the tree, mapped or not.
    std::optional<xcb_window_t> halvoWindowNamed(const std::string& name) const;

    // The frame of `window` in root coordinates (its own rectangle, without decorations).
    std::optional<WindowFrame> frame(xcb_window_t window) const;
    bool isViewable(xcb_window_t window) const;
    bool isOverrideRedirect(xcb_window_t window) const;
    xcb_window_t parent(xcb_window_t window) const;
    std::string windowClass(xcb_window_t window) const;
    std::string windowName(xcb_window_t window) const;

    // _NET_ACTIVE_WINDOW and the class of that window ("" when none).
    xcb_window_t activeWindow() const;
    std::string activeClass() const;
    // Whether _NET_WM_STATE of `window` holds _NET_WM_STATE_FULLSCREEN.
    bool isFullScreen(xcb_window_t window) const;
    // The first managed client window of class `wmClass`, 0 when none.
    xcb_window_t clientOfClass(const std::string& wmClass) const;

    // The average brightness (0...255) of a small square of the screen around (x, y).
    std::optional<double> brightnessAt(int x, int y) const;

    // Pointer input through XTEST, each synchronised with the server.
    void movePointer(int x, int y);
    void pressButton(int button);
    void releaseButton(int button);

    xcb_connection_t* connection() const { return m_connection; }

private:
    xcb_atom_t atom(const char* name) const;
    std::vector<xcb_window_t> allWindows(xcb_window_t from) const;
    void sync() const;

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
};

} // namespace halvo::test
