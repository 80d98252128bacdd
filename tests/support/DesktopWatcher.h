// What a user would see on a test's X server, read and waited for over one xcb connection of its
// own: Halvo's windows, the active window and the keyboard focus, window states and frames, and
// pointer input through XTEST. Waits sleep on the connection's X events (root substructure and
// property changes, the structure, property and focus changes of every top-level window, and XKB
// bells), not on polls of forked tools.
#pragma once

#include <cstdint>
#include <functional>
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
    bool operator==(const WindowFrame&) const = default;
};

class DesktopWatcher {
public:
    explicit DesktopWatcher(const std::string& display);
    ~DesktopWatcher();
    DesktopWatcher(const DesktopWatcher&) = delete;
    DesktopWatcher& operator=(const DesktopWatcher&) = delete;

    // Checks `condition` now and again after each batch of X events, until it holds or `seconds`
    // pass. State that raises no event here (files, a log, pixels, a lost server) is checked
    // again at least every 50 ms.
    bool waitFor(const std::function<bool()>& condition, double seconds = 15.0);

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
    // Whether the server's keyboard focus is on `window` or inside it.
    bool hasInputFocus(xcb_window_t window) const;
    // Whether _NET_WM_STATE of `window` holds _NET_WM_STATE_FULLSCREEN.
    bool isFullScreen(xcb_window_t window) const;
    // The first managed client window of class `wmClass`, 0 when none.
    xcb_window_t clientOfClass(const std::string& wmClass) const;
    // Whether the window manager that announced itself last (_NET_SUPPORTING_WM_CHECK) has set
    // _NET_ACTIVE_WINDOW since: one that starts on running clients focuses one of them itself,
    // and would override an activation asked before.
    bool windowManagerHasFocused() const { return m_focusedSinceCheck; }
    // Asks the window manager to activate `window`, as a pager does (_NET_ACTIVE_WINDOW).
    void requestActivation(xcb_window_t window);

    // The bells rung on the display since this watcher connected, as XKB reports them.
    int bells() const { return m_bells; }

    // The average brightness (0...255) of a small square of the screen around (x, y).
    std::optional<double> brightnessAt(int x, int y) const;

    // Pointer input through XTEST, each synchronised with the server.
    void movePointer(int x, int y);
    void pressButton(int button);
    void releaseButton(int button);

private:
    xcb_atom_t atom(const char* name) const;
    std::vector<xcb_window_t> allWindows(xcb_window_t from) const;
    // Reads the events received (or only those already queued); a newly created top-level window
    // is watched too. Whether there were any.
    bool readEvents(bool queuedOnly);
    void watch(xcb_window_t window);
    void sync() const;

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_activeWindowAtom = 0;
    xcb_atom_t m_checkAtom = 0;
    bool m_focusedSinceCheck = false;
    std::uint8_t m_xkbFirstEvent = 0;
    int m_bells = 0;
};

} // namespace halvo::test
