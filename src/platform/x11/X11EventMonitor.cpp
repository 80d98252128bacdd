// XKB state and XInput2 raw key events turned into modifier changes and arrow releases.
#include "platform/x11/X11EventMonitor.h"

#include "platform/x11/X11KeyMap.h"
#include "platform/x11/X11RawKeys.h"
#include "platform/x11/X11Xkb.h"

#include <cstdlib>
#include <vector>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

namespace halvo {

X11EventMonitor::X11EventMonitor(X11Connection& connection) : m_connection(connection) {
    xcb_connection_t* c = connection.xcb();

    const x11::XkbSupport xkb = x11::useXkb(c);
    m_hasXkb = xkb.usable;
    m_xkbFirstEvent = xkb.firstEvent;
    if (m_hasXkb) {
        const std::uint16_t mapParts =
            XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
        const std::uint16_t events = XCB_XKB_EVENT_TYPE_STATE_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        xcb_xkb_select_events_details_t details{};
        xcb_xkb_select_events_aux(c, XCB_XKB_ID_USE_CORE_KBD, events, 0,
                                  XCB_XKB_EVENT_TYPE_STATE_NOTIFY |
                                      XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY,
                                  mapParts, mapParts, &details);
        auto* state =
            xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr);
        if (state)
            m_held = x11::modifiersForXState(state->mods);
        free(state);
    }

    // Presses are selected too (X11HotkeyRegistrar watches them on the same connection); only
    // releases are reported here.
    m_xinputOpcode = x11::selectRawKeys(c, connection.root());
    m_hasXInput = m_xinputOpcode != 0;
    m_symbols = xcb_key_symbols_alloc(c);
    m_listener = connection.addListener([this](const xcb_generic_event_t& e) { handleEvent(e); });
    connection.flush();
}

X11EventMonitor::~X11EventMonitor() {
    m_connection.removeListener(m_listener);
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

std::optional<MonitorToken> X11EventMonitor::addMonitor(Handlers handlers) {
    if (!m_hasXkb && !m_hasXInput)
        return std::nullopt;
    return m_monitors.add(std::move(handlers));
}

void X11EventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.remove(token);
}

void X11EventMonitor::handleEvent(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto& mapping = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
        if (mapping.request != XCB_MAPPING_POINTER && m_symbols)
            xcb_refresh_keyboard_mapping(m_symbols,
                                         const_cast<xcb_mapping_notify_event_t*>(&mapping));
        return;
    }
    if (m_hasXkb && type == m_xkbFirstEvent) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(&event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) {
            if (m_symbols)
                xcb_key_symbols_free(m_symbols);
            m_symbols = xcb_key_symbols_alloc(m_connection.xcb());
            return;
        }
        if (xkbType != XCB_XKB_STATE_NOTIFY)
            return;
        const auto& state = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        const Modifiers held = x11::modifiersForXState(state.mods);
        // State events also report groups, pointer buttons and the lock keys.
        if (held == m_held)
            return;
        m_held = held;
        m_monitors.deliverModifiers(held);
        return;
    }
    if (m_hasXInput && type == XCB_GE_GENERIC) {
        const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
        if (generic.extension != m_xinputOpcode || generic.event_type != XCB_INPUT_RAW_KEY_RELEASE)
            return;
        const auto& raw = reinterpret_cast<const xcb_input_raw_key_release_event_t&>(event);
        if (!m_symbols || raw.detail > 255)
            return;
        const xcb_keysym_t keysym =
            xcb_key_symbols_get_keysym(m_symbols, static_cast<xcb_keycode_t>(raw.detail), 0);
        // Only the four arrows are reported; any other key is dropped here, unread.
        if (const std::optional<Key> key = x11::keyForKeysym(keysym))
            m_monitors.deliverKeyReleased(*key);
    }
}

} // namespace halvo
