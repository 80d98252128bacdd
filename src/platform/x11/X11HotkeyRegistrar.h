// Hot keys on X11: each one is a passive key grab on the root window, taken with and without
// Caps Lock and Num Lock so that the lock keys never get in the way. A window manager can take
// the same combination through an XInput2 grab without the core grab being refused (mutter
// does): a press of the combination seen in the raw key events, released without the grab
// having fired, is reported as taken by another program when another client holds such a passive
// grab. A press that an active grab of the keyboard took (a menu, a drag, a screen locker) is
// not.
#pragma once

#include "platform/HotkeyRegistrar.h"
#include "platform/x11/X11Connection.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct _XCBKeySymbols;

namespace halvo {

class X11HotkeyRegistrar final : public HotkeyRegistrar {
public:
    // Enables XKB detectable auto-repeat on the connection, so that a held key repeats as
    // presses with one release at the end.
    explicit X11HotkeyRegistrar(X11Connection& connection);
    // Releases every grab that is still held.
    ~X11HotkeyRegistrar() override;
    X11HotkeyRegistrar(const X11HotkeyRegistrar&) = delete;
    X11HotkeyRegistrar& operator=(const X11HotkeyRegistrar&) = delete;

    std::optional<std::string> listen(Handler handler) override;
    void stopListening() override;

    // takenByAnotherProgram when another client holds any variant of the grab (then none stays
    // grabbed); failed for a keyboard without the action's arrow.
    Registration registerShortcut(HotkeyAction action, Modifiers modifiers) override;
    void unregisterShortcut(ShortcutRef ref) override;

    // Passive grabs held on the root window: keycodes times lock variants of every hot key.
    std::size_t grabCount() const { return m_grabCounts.size(); }
    // Whether the server honours detectable auto-repeat for this connection.
    bool hasDetectableAutoRepeat() const { return m_detectableAutoRepeat; }

private:
    using GrabKey = std::pair<xcb_keycode_t, std::uint16_t>; // keycode, X modifiers

    struct HotKey {
        HotkeyAction action = HotkeyAction::previous;
        std::uint16_t xModifiers = 0;
        std::vector<GrabKey> grabs;
    };

    void handleEvent(const xcb_generic_event_t& event);
    void handleRawKey(const xcb_ge_generic_event_t& event);
    void keyboardMapChanged();
    void readKeyboardMap();
    // Grabs every variant of the hot key; on any refusal releases what it took, unless
    // keepPartial is set.
    RegistrationResult grab(HotKey& hotKey, bool keepPartial = false);
    void ungrab(HotKey& hotKey);
    // Whether another client holds a passive grab of the key with the hot key's modifiers (any
    // lock variant) on the root window; one round trip.
    bool rivalPassiveGrab(xcb_keycode_t keycode, const HotKey& hotKey);
    std::vector<std::uint16_t> lockVariants() const;

    X11Connection& m_connection;
    X11Connection::ListenerID m_listener = 0;
    _XCBKeySymbols* m_symbols = nullptr;
    std::uint8_t m_xkbFirstEvent = 0;
    bool m_hasXkb = false;
    bool m_detectableAutoRepeat = false;
    std::uint16_t m_numLockMask = 0;
    std::uint8_t m_xinputOpcode = 0; // 0 without XInput 2.2 or XKB: no raw key events
    std::uint16_t m_mods = 0;        // X modifiers as the last XKB state event gave them

    Handler m_handler;
    ShortcutRef m_nextRef = 1;
    std::map<ShortcutRef, HotKey> m_hotKeys;
    // How many hot keys hold each grab: X keeps one grab per client and combination.
    std::map<GrabKey, int> m_grabCounts;
    // The hot key whose press was seen last for each keycode that is still down.
    std::map<xcb_keycode_t, ShortcutRef> m_down;
    // Hot keys whose combination went down in the raw events while the grab has not fired yet.
    std::map<xcb_keycode_t, ShortcutRef> m_unconfirmed;
};

} // namespace halvo
