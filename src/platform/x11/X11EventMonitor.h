// Keyboard monitors on X11: modifier changes from XKB state events and arrow releases from
// XInput2 raw key events, both seen whichever client has the focus, even during another
// client's grab. Nothing but the modifiers and the four arrows is looked at.
#pragma once

#include "platform/EventMonitor.h"
#include "platform/MonitorSet.h"
#include "platform/x11/X11Connection.h"

#include <cstdint>

struct _XCBKeySymbols;

namespace halvo {

class X11EventMonitor final : public EventMonitor {
public:
    explicit X11EventMonitor(X11Connection& connection);
    ~X11EventMonitor() override;
    X11EventMonitor(const X11EventMonitor&) = delete;
    X11EventMonitor& operator=(const X11EventMonitor&) = delete;

    // X has one source of keyboard events for every client, Halvo's own windows included: a
    // monitor sees all of them. Nothing when neither XKB nor XInput 2.2 is there.
    std::optional<MonitorToken> addMonitor(Handlers handlers) override;
    void removeMonitor(MonitorToken token) override;

    // Whether modifier changes (XKB) and arrow releases (XInput 2.2) can be seen.
    bool canMonitorModifiers() const { return m_hasXkb; }
    bool canMonitorKeyReleases() const { return m_hasXInput; }

private:
    void handleEvent(const xcb_generic_event_t& event);

    X11Connection& m_connection;
    X11Connection::ListenerID m_listener = 0;
    _XCBKeySymbols* m_symbols = nullptr;
    bool m_hasXkb = false;
    std::uint8_t m_xkbFirstEvent = 0;
    bool m_hasXInput = false;
    std::uint8_t m_xinputOpcode = 0;
    Modifiers m_held; // the modifiers last seen
    MonitorSet m_monitors;
};

} // namespace halvo
