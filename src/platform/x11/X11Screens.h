// The monitors (RandR 1.5, primary first) and the pointer in root coordinates; each monitor's
// visible frame leaves out the struts of the docks and panels on it, listed by the window manager
// or not, and under i3 what i3 reserves for the docks it frames (i3bar).
#pragma once

#include "platform/Screens.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11I3WorkAreas.h"
#include "platform/x11/X11MonitorCache.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11Struts.h"

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

namespace halvo {

class X11Screens final : public Screens {
public:
    // Construct on the thread that dispatches the connection's events.
    explicit X11Screens(X11Connection& connection);
    ~X11Screens() override;
    X11Screens(const X11Screens&) = delete;
    X11Screens& operator=(const X11Screens&) = delete;

    // Any thread. On the constructing thread the events that arrived before the answer are
    // dispatched first, so a dock mapped or changed just before is taken into account; the
    // monitors are asked for only when the server reported a change since the last answer.
    std::vector<Screen> screens() const override;
    // The monitor holding the centre of the active window, else the one under the pointer.
    std::optional<Screen> mainScreen() const override;
    Point mouseLocation() const override;
    // On the constructing thread, sends the pointer's query for the next mouseLocation(), and the
    // monitors' (unless kept) for the screens() that follows it in a show; events handed out
    // before it drop the query unused.
    void expectMouseLocation() const override;

    // The root window's size as of the events dispatched so far.
    Size rootSize() const { return m_monitors.rootSize(); }

    // How many windows' struts were fetched so far; for tests and probes.
    std::size_t strutFetches() const { return m_struts.fetches(); }
    // How many times the monitors were asked for so far; for tests and probes.
    std::size_t monitorFetches() const { return m_monitors.fetches(); }

    // A monitor (root coordinates) less the struts that lie on it. Each strut is the twelve
    // values of _NET_WM_STRUT_PARTIAL; `rootWidth` and `rootHeight` are the root's size.
    static Rect visibleArea(const Rect& monitor,
                            const std::vector<std::vector<std::uint32_t>>& struts, double rootWidth,
                            double rootHeight);

private:
    // The monitors' names, asked for once: an atom's name never changes.
    std::vector<std::string> monitorNames(const std::vector<X11Monitors::Monitor>& monitors) const;

    struct PointerRead {
        X11MonitorCache::Read monitors;
        xcb_query_pointer_cookie_t pointer;
    };
    PointerRead requestPointer() const;
    void dropExpectedPointer() const;

    X11Connection& m_connection;
    mutable X11MonitorCache m_monitors;
    mutable std::optional<PointerRead> m_expectedPointer;
    X11Connection::ListenerID m_listener = 0;
    // Kept between reads: a read asks only about windows that changed since the last one.
    mutable X11Struts m_struts;
    mutable X11I3WorkAreas m_i3;
    std::thread::id m_thread = std::this_thread::get_id();
    mutable std::mutex m_namesMutex;
    mutable std::unordered_map<xcb_atom_t, std::string> m_names;
};

} // namespace halvo
