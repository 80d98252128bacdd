// The seat's keyboard as the surfaces of one Wayland connection see it: which of them has the
// focus, the keymap the compositor sends (read with xkbcommon), and the modifiers and keys,
// translated into Halvo's terms. Only the four modifiers and the keys of Key are told; every
// other key is dropped unread.
#pragma once

#include "platform/Key.h"
#include "platform/Modifiers.h"

#include <cstdint>
#include <functional>

struct wl_array;
struct wl_keyboard;
struct wl_keyboard_listener;
struct wl_seat;
struct wl_surface;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace halvo {

class WaylandKeyboard {
public:
    struct Event {
        enum class Kind { enter, leave, modifiers, key };
        Kind kind = Kind::modifiers;
        Modifiers modifiers;   // for modifiers: the four held, lock keys left out
        Key key = Key::escape; // for key
        bool pressed = false;  // for key
    };
    using Handler = std::function<void(const Event&)>;

    WaylandKeyboard() = default;
    ~WaylandKeyboard();
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    // The seat has a keyboard (again): its events are read from now on.
    void attach(wl_seat* seat);
    bool attached() const { return m_keyboard != nullptr; }
    // The seat has no keyboard any more: a surface that had the focus is told it left.
    void lost();
    // The connection closes: the keyboard goes before the seat, silently.
    void close();

    // The surface that has the keyboard focus, null when none has.
    wl_surface* focus() const { return m_focus; }
    // `surface` is being destroyed: it has the focus no longer.
    void forget(wl_surface* surface);
    // Every event goes to `handler` (an empty one stops them). The compositor follows each enter
    // with the modifiers held then.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

private:
    void deliver(const Event& event);

    static void focusEntered(void* data, wl_keyboard* keyboard, uint32_t serial,
                             wl_surface* surface, wl_array* keys);
    static void focusLeft(void* data, wl_keyboard* keyboard, uint32_t serial, wl_surface* surface);
    static void keymapSent(void* data, wl_keyboard* keyboard, uint32_t format, int32_t fd,
                           uint32_t size);
    static void keyChanged(void* data, wl_keyboard* keyboard, uint32_t serial, uint32_t time,
                           uint32_t key, uint32_t state);
    static void modifiersChanged(void* data, wl_keyboard* keyboard, uint32_t serial,
                                 uint32_t depressed, uint32_t latched, uint32_t locked,
                                 uint32_t group);
    static const wl_keyboard_listener s_listener;

    wl_keyboard* m_keyboard = nullptr;
    wl_surface* m_focus = nullptr;
    Handler m_handler;
    xkb_context* m_xkb = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
};

} // namespace halvo
