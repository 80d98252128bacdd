// The accessibility interface over EWMH: an application element is the application that
// X11ClientList groups under a process identifier, a window element one of its managed client
// windows. Frames are outer frames (decorations included) in accessibility space.
//
// Every call may run on any thread: it reads what it needs with checked requests (all sent
// before any reply is awaited) and shares no cache with other threads. Calls off the main thread
// go through a connection of their own, so that their waits never take in the main
// connection's events. A window that vanished gives a non-zero status; its errors never reach
// the event queue. Writes go to the window manager, so they wait (at most settleTimeout, or
// stateTimeout for a state) until the window shows the change.
#pragma once

#include "platform/Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ThreadConnection.h"
#include "platform/x11/X11TilingPlacement.h"

#include <optional>
#include <thread>

namespace halvo {

class X11Accessibility final : public Accessibility {
public:
    static constexpr double settleTimeout = 0.25;
    // How long a window manager may take to apply a state change (full screen, maximised)
    // before it counts as refused.
    static constexpr double stateTimeout = 1.0;

    // Construct on the main thread: requests made there carry a real server timestamp.
    // `log` (may be null) hears why a move did not land.
    X11Accessibility(X11Connection& connection, ProcessID ownPid, Log* log = nullptr);

    bool isProcessTrusted() override;
    bool isProcessTrustedWithPrompt() override;
    AXElement createApplication(ProcessID pid) override;
    // X requests are answered by the server, not by the application, so they cannot hang on an
    // unresponsive client; the timeout is accepted and writes are bounded by settleTimeout.
    AXError setMessagingTimeout(const AXElement& element, float seconds) override;
    AXError copyAttributeValue(const AXElement& element, std::string_view attribute,
                               AXValue& value) override;
    AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                              const AXValue& value) override;
    AXError isAttributeSettable(const AXElement& element, std::string_view attribute,
                                bool& settable) override;
    AXError performAction(const AXElement& element, std::string_view action) override;

private:
    struct WindowState;

    AXError copyApplicationAttribute(ProcessID pid, std::string_view attribute, AXValue& value);
    AXError readWindow(xcb_window_t window, WindowState& state);
    AXError setFrame(xcb_window_t window, std::optional<Point> origin, std::optional<Size> size);
    // Asks for the state change and waits (at most stateTimeout) until the window shows it;
    // kAXErrorCannotComplete when it does not.
    AXError changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second);
    void activateWindow(xcb_window_t window);
    bool supports(xcb_atom_t atom);
    xcb_timestamp_t timestamp();
    // Polls until `done` holds or `timeout` seconds pass; returns whether it held.
    template <typename Pred> bool settle(Pred done, double timeout = settleTimeout);

    X11ThreadConnection m_connection;
    ProcessID m_ownPid;
    X11TilingPlacement m_tiling;
    std::thread::id m_mainThread;
};

} // namespace halvo
