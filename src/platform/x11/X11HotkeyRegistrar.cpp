// Passive key grabs on the root window, their lock variants, and pressed/released delivery.
#include "platform/x11/X11HotkeyRegistrar.h"

#include "platform/x11/X11KeyMap.h"
#include "platform/x11/X11RawKeys.h"
#include "platform/x11/X11Xkb.h"

#include <X11/keysym.h>
#include <algorithm>
#include <cstdlib>
#include <xcb/xcb_keysyms.h>

namespace halvo {
namespace {

constexpr std::uint16_t relevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK |
                                            XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2 |
                                            XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

} // namespace

X11HotkeyRegistrar::X11HotkeyRegistrar(X11Connection& connection) : m_connection(connection) {
    xcb_connection_t* c = connection.xcb();
    const x11::XkbSupport xkb = x11::useXkb(c);
    m_hasXkb = xkb.usable;
    m_xkbFirstEvent = xkb.firstEvent;
    if (m_hasXkb) {
        const std::uint32_t repeat = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
        auto* flags = xcb_xkb_per_client_flags_reply(
            c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, repeat, repeat, 0, 0, 0),
            nullptr);
        m_detectableAutoRepeat = flags && (flags->value & repeat);
        free(flags);
        // Keyboard map changes (xmodmap, a new layout, another keyboard) move the arrows' keycodes
        // and Num Lock's modifier; XKB clients only hear of them when they ask. State events give
        // the modifiers in the order of the raw key events (the same selection as
        // X11EventMonitor's, which shares the connection).
        const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
        const std::uint16_t mapParts =
            XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
        xcb_xkb_select_events_details_t details{};
        xcb_xkb_select_events_aux(c, XCB_XKB_ID_USE_CORE_KBD, events, 0,
                                  XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                      XCB_XKB_EVENT_TYPE_STATE_NOTIFY,
                                  mapParts, mapParts, &details);
        auto* state =
            xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr);
        if (state)
            m_mods = state->mods;
        free(state);
        // Without XKB the modifiers of a raw press are not known: nothing is watched.
        m_xinputOpcode = x11::selectRawKeys(c, connection.root());
    }
    readKeyboardMap();
    m_listener = connection.addListener([this](const xcb_generic_event_t& e) { handleEvent(e); });
    connection.flush();
}

X11HotkeyRegistrar::~X11HotkeyRegistrar() {
    m_connection.removeListener(m_listener);
    for (auto& [ref, hotKey] : m_hotKeys)
        ungrab(hotKey);
    m_connection.flush();
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

std::optional<std::string> X11HotkeyRegistrar::listen(Handler handler) {
    if (!handler)
        return "no handler";
    m_handler = std::move(handler);
    return std::nullopt;
}

void X11HotkeyRegistrar::stopListening() {
    m_handler = nullptr;
}

HotkeyRegistrar::Registration X11HotkeyRegistrar::registerShortcut(HotkeyAction action,
                                                                   Modifiers modifiers) {
    HotKey hotKey{action, x11::xModifiersFor(modifiers), {}};
    const RegistrationResult result = grab(hotKey);
    if (result != RegistrationResult::registered)
        return {result, 0};
    const ShortcutRef ref = m_nextRef++;
    m_hotKeys.emplace(ref, std::move(hotKey));
    return {RegistrationResult::registered, ref};
}

void X11HotkeyRegistrar::unregisterShortcut(ShortcutRef ref) {
    auto found = m_hotKeys.find(ref);
    if (found == m_hotKeys.end())
        return;
    ungrab(found->second);
    m_hotKeys.erase(found);
    std::erase_if(m_down, [ref](const auto& entry) { return entry.second == ref; });
    m_connection.flush();
}

std::vector<std::uint16_t> X11HotkeyRegistrar::lockVariants() const {
    std::vector<std::uint16_t> variants = {0, XCB_MOD_MASK_LOCK};
    if (m_numLockMask != 0 && m_numLockMask != XCB_MOD_MASK_LOCK) {
        variants.push_back(m_numLockMask);
        variants.push_back(static_cast<std::uint16_t>(m_numLockMask | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

RegistrationResult X11HotkeyRegistrar::grab(HotKey& hotKey, bool keepPartial) {
    xcb_connection_t* c = m_connection.xcb();
    std::vector<xcb_keycode_t> keycodes;
    const std::optional<xcb_keysym_t> keysym = x11::keysymForKey(key(hotKey.action));
    if (m_symbols && keysym) {
        if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, *keysym)) {
            for (xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code)
                keycodes.push_back(*code);
            free(codes);
        }
    }
    if (keycodes.empty())
        return RegistrationResult::failed;

    // Send every grab, then collect the answers.
    struct Attempt {
        GrabKey key;
        bool ours; // already held by another hot key of ours: nothing to ask the server
        xcb_void_cookie_t cookie;
    };
    std::vector<Attempt> attempts;
    for (xcb_keycode_t keycode : keycodes) {
        for (std::uint16_t lock : lockVariants()) {
            const GrabKey key{keycode, static_cast<std::uint16_t>(hotKey.xModifiers | lock)};
            if (m_grabCounts.count(key)) {
                attempts.push_back({key, true, {}});
                continue;
            }
            attempts.push_back(
                {key, false,
                 xcb_grab_key_checked(c, 0, m_connection.root(), key.second, key.first,
                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
        }
    }
    RegistrationResult result = RegistrationResult::registered;
    std::vector<GrabKey> taken;
    for (const Attempt& attempt : attempts) {
        if (attempt.ours) {
            taken.push_back(attempt.key);
            continue;
        }
        if (xcb_generic_error_t* error = xcb_request_check(c, attempt.cookie)) {
            if (result == RegistrationResult::registered)
                result = error->error_code == XCB_ACCESS ? RegistrationResult::takenByAnotherProgram
                                                         : RegistrationResult::failed;
            free(error);
            continue;
        }
        taken.push_back(attempt.key);
    }
    for (const GrabKey& key : taken)
        ++m_grabCounts[key];
    hotKey.grabs = std::move(taken);
    if (result != RegistrationResult::registered && !keepPartial)
        ungrab(hotKey);
    return result;
}

void X11HotkeyRegistrar::ungrab(HotKey& hotKey) {
    for (const GrabKey& key : hotKey.grabs) {
        auto count = m_grabCounts.find(key);
        if (count == m_grabCounts.end())
            continue;
        if (--count->second > 0)
            continue;
        m_grabCounts.erase(count);
        xcb_ungrab_key(m_connection.xcb(), key.first, m_connection.root(), key.second);
    }
    hotKey.grabs.clear();
    m_connection.flush();
}

void X11HotkeyRegistrar::readKeyboardMap() {
    xcb_connection_t* c = m_connection.xcb();
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    m_symbols = xcb_key_symbols_alloc(c);

    // Num Lock's modifier is whichever row of the modifier map holds its keycode.
    m_numLockMask = 0;
    xcb_keycode_t* numLock =
        m_symbols ? xcb_key_symbols_get_keycode(m_symbols, XK_Num_Lock) : nullptr;
    auto* map = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (map && numLock) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map);
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                for (xcb_keycode_t* n = numLock; code != 0 && *n != XCB_NO_SYMBOL; ++n) {
                    if (*n == code)
                        m_numLockMask |= static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
    }
    free(map);
    free(numLock);
}

void X11HotkeyRegistrar::keyboardMapChanged() {
    for (auto& [ref, hotKey] : m_hotKeys)
        ungrab(hotKey);
    m_down.clear();
    readKeyboardMap();
    // A variant that another client took meanwhile is lost; the others keep working.
    for (auto& [ref, hotKey] : m_hotKeys)
        grab(hotKey, /*keepPartial=*/true);
}

void X11HotkeyRegistrar::handleEvent(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto& mapping = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
        if (mapping.request != XCB_MAPPING_POINTER)
            keyboardMapChanged();
        return;
    }
    if (m_hasXkb && type == m_xkbFirstEvent) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(&event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY)
            keyboardMapChanged();
        else if (xkbType == XCB_XKB_STATE_NOTIFY)
            m_mods = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event).mods;
        return;
    }
    if (m_xinputOpcode != 0 && type == XCB_GE_GENERIC) {
        handleRawKey(reinterpret_cast<const xcb_ge_generic_event_t&>(event));
        return;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return;

    // While a grab is active every key reaches this connection; only the grabbed arrows count,
    // nothing else is looked at.
    const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
    if (key.event != m_connection.root())
        return;
    Event::Kind kind = Event::Kind::pressed;
    ShortcutRef ref = 0;
    if (type == XCB_KEY_PRESS) {
        const std::uint16_t mods =
            key.state & relevantModifiers & ~(XCB_MOD_MASK_LOCK | m_numLockMask);
        for (const auto& [candidate, hotKey] : m_hotKeys) {
            const bool grabbed =
                std::any_of(hotKey.grabs.begin(), hotKey.grabs.end(),
                            [&](const GrabKey& g) { return g.first == key.detail; });
            if (grabbed && hotKey.xModifiers == mods) {
                ref = candidate;
                break;
            }
        }
        if (ref == 0)
            return;
        m_down[key.detail] = ref;
        m_unconfirmed.erase(key.detail);
    } else {
        auto down = m_down.find(key.detail);
        if (down == m_down.end())
            return;
        ref = down->second;
        m_down.erase(down);
        kind = Event::Kind::released;
    }

    auto hotKey = m_hotKeys.find(ref);
    if (hotKey == m_hotKeys.end() || !m_handler)
        return;
    Handler handler = m_handler; // the handler may stop listening
    const double age =
        m_connection.serverClock().age(key.time, X11ServerClock::steadyMilliseconds());
    handler(Event{kind, hotKey->second.action, age});
}

// The raw press comes before the grab's own press of the same key, and its release long after:
// a hot key still unconfirmed at the release went to another client, through a passive grab of
// its own or through an active grab of the whole keyboard (a menu, a drag, a screen locker).
// Only the first takes the combination away for good; rivalPassiveGrab tells them apart.
void X11HotkeyRegistrar::handleRawKey(const xcb_ge_generic_event_t& event) {
    if (event.extension != m_xinputOpcode)
        return;
    const auto& raw = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
    if (raw.detail > 255)
        return;
    const auto keycode = static_cast<xcb_keycode_t>(raw.detail);
    if (event.event_type == XCB_INPUT_RAW_KEY_RELEASE) {
        const auto unconfirmed = m_unconfirmed.find(keycode);
        if (unconfirmed == m_unconfirmed.end())
            return;
        const ShortcutRef ref = unconfirmed->second;
        m_unconfirmed.erase(unconfirmed);
        const auto hotKey = m_hotKeys.find(ref);
        if (hotKey == m_hotKeys.end() || !m_handler || !rivalPassiveGrab(keycode, hotKey->second))
            return;
        Handler handler = m_handler;
        handler(Event{Event::Kind::takenByAnotherProgram, hotKey->second.action});
        return;
    }
    if (event.event_type != XCB_INPUT_RAW_KEY_PRESS ||
        (raw.flags & XCB_INPUT_KEY_EVENT_FLAGS_KEY_REPEAT))
        return;
    const auto grabbed = [&](const HotKey& hotKey) {
        return std::any_of(hotKey.grabs.begin(), hotKey.grabs.end(),
                           [&](const GrabKey& g) { return g.first == keycode; });
    };
    if (std::none_of(m_hotKeys.begin(), m_hotKeys.end(),
                     [&](const auto& entry) { return grabbed(entry.second); }))
        return; // not an arrow of ours: its modifiers are not asked for
    // Raw events carry no modifier state: the last state event before this one has it (a
    // query now could see modifiers pressed after the arrow).
    const std::uint16_t mods = m_mods & relevantModifiers & ~(XCB_MOD_MASK_LOCK | m_numLockMask);
    for (const auto& [ref, hotKey] : m_hotKeys) {
        if (grabbed(hotKey) && hotKey.xModifiers == mods && !m_down.count(keycode))
            m_unconfirmed[keycode] = ref;
    }
}

// X refuses a passive grab that matches another client's on the same window, and a core grab
// never matches an XInput2 one: an XInput2 grab of the same key and modifiers on the root, on any
// device, is refused exactly when another client holds one. An active grab of the keyboard does
// not refuse it. When the probe is granted it is let go at once.
bool X11HotkeyRegistrar::rivalPassiveGrab(xcb_keycode_t keycode, const HotKey& hotKey) {
    xcb_connection_t* c = m_connection.xcb();
    std::vector<std::uint32_t> modifiers;
    for (std::uint16_t lock : lockVariants())
        modifiers.push_back(hotKey.xModifiers | lock);
    const std::uint32_t mask =
        XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
    const auto count = static_cast<std::uint16_t>(modifiers.size());
    auto* reply = xcb_input_xi_passive_grab_device_reply(
        c,
        xcb_input_xi_passive_grab_device(c, XCB_CURRENT_TIME, m_connection.root(), XCB_NONE,
                                         keycode, XCB_INPUT_DEVICE_ALL, count, 1,
                                         XCB_INPUT_GRAB_TYPE_KEYCODE, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                         XCB_INPUT_GRAB_MODE_22_ASYNC, 0, &mask, modifiers.data()),
        nullptr);
    if (!reply)
        return false; // no answer: nothing shows a rival
    const bool refused = reply->num_modifiers > 0;
    free(reply);
    xcb_input_xi_passive_ungrab_device(c, m_connection.root(), keycode, XCB_INPUT_DEVICE_ALL, count,
                                       XCB_INPUT_GRAB_TYPE_KEYCODE, modifiers.data());
    m_connection.flush();
    return refused;
}

} // namespace halvo
