// The keymap arrives as a file descriptor to map; keys are evdev codes looked up in it. Key
// repeat is the client's to make and none is made: a held key is one press.
#include "platform/wayland/WaylandKeyboard.h"

#include "platform/linux/LatencyTrace.h"
#include "platform/wayland/WaylandListeners.h"

#include <cstring>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace halvo {
namespace {

// The four modifiers of the keyboard seam among xkb's: Alt is Mod1 and Super Mod4, as X names
// them; Caps Lock (Lock) and Num Lock (Mod2) are not among them.
Modifiers heldModifiers(xkb_state* state) {
    static constexpr std::pair<const char*, Modifier> names[] = {
        {XKB_MOD_NAME_CTRL, Modifier::control},
        {XKB_MOD_NAME_ALT, Modifier::alt},
        {XKB_MOD_NAME_LOGO, Modifier::super},
        {XKB_MOD_NAME_SHIFT, Modifier::shift},
    };
    Modifiers held;
    for (const auto& [name, modifier] : names) {
        if (xkb_state_mod_name_is_active(state, name, XKB_STATE_MODS_EFFECTIVE) > 0)
            held = held | modifier;
    }
    return held;
}

std::optional<Key> keyForKeysym(xkb_keysym_t keysym) {
    switch (keysym) {
    case XKB_KEY_Left:
        return Key::left;
    case XKB_KEY_Right:
        return Key::right;
    case XKB_KEY_Up:
        return Key::up;
    case XKB_KEY_Down:
        return Key::down;
    case XKB_KEY_Escape:
        return Key::escape;
    default:
        return std::nullopt;
    }
}

WaylandKeyboard::Event keyboardEvent(WaylandKeyboard::Event::Kind kind, Modifiers modifiers = {},
                                     Key key = Key::escape, bool pressed = false) {
    WaylandKeyboard::Event event;
    event.kind = kind;
    event.modifiers = modifiers;
    event.key = key;
    event.pressed = pressed;
    return event;
}

} // namespace

const wl_keyboard_listener WaylandKeyboard::s_listener =
    waylandListener<wl_keyboard_listener>([](wl_keyboard_listener& listener) {
        listener.keymap = &WaylandKeyboard::keymapSent;
        listener.enter = &WaylandKeyboard::focusEntered;
        listener.leave = &WaylandKeyboard::focusLeft;
        listener.key = &WaylandKeyboard::keyChanged;
        listener.modifiers = &WaylandKeyboard::modifiersChanged;
        listener.repeat_info = [](void*, wl_keyboard*, int32_t, int32_t) {};
    });

WaylandKeyboard::~WaylandKeyboard() {
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_xkb);
}

void WaylandKeyboard::attach(wl_seat* seat) {
    m_keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(m_keyboard, &s_listener, this);
}

void WaylandKeyboard::lost() {
    close();
    if (m_focus) {
        m_focus = nullptr;
        deliver(keyboardEvent(Event::Kind::leave));
    }
}

void WaylandKeyboard::close() {
    if (m_keyboard)
        wl_keyboard_destroy(m_keyboard);
    m_keyboard = nullptr;
}

void WaylandKeyboard::forget(wl_surface* surface) {
    if (m_focus == surface)
        m_focus = nullptr;
}

void WaylandKeyboard::focusEntered(void* data, wl_keyboard*, uint32_t, wl_surface* surface,
                                   wl_array*) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    self->m_focus = surface;
    self->deliver(keyboardEvent(Event::Kind::enter));
}

void WaylandKeyboard::focusLeft(void* data, wl_keyboard*, uint32_t, wl_surface* surface) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    if (self->m_focus == surface)
        self->m_focus = nullptr;
    self->deliver(keyboardEvent(Event::Kind::leave));
}

// The compositor sends the keyboard's keymap as a file; a keymap that cannot be read leaves keys
// unread and the modifiers unknown until the next one.
void WaylandKeyboard::keymapSent(void* data, wl_keyboard*, uint32_t format, int32_t fd,
                                 uint32_t size) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    xkb_state_unref(self->m_state);
    xkb_keymap_unref(self->m_keymap);
    self->m_state = nullptr;
    self->m_keymap = nullptr;
    if (!self->m_xkb)
        self->m_xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0
                     ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                     : MAP_FAILED;
    ::close(fd);
    if (text == MAP_FAILED || !self->m_xkb)
        return;
    // The text ends with a NUL inside `size`.
    self->m_keymap = xkb_keymap_new_from_buffer(
        self->m_xkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (self->m_keymap)
        self->m_state = xkb_state_new(self->m_keymap);
}

void WaylandKeyboard::modifiersChanged(void* data, wl_keyboard*, uint32_t, uint32_t depressed,
                                       uint32_t latched, uint32_t locked, uint32_t group) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    if (!self->m_state)
        return;
    xkb_state_update_mask(self->m_state, depressed, latched, locked, 0, 0, group);
    self->deliver(keyboardEvent(Event::Kind::modifiers, heldModifiers(self->m_state)));
}

void WaylandKeyboard::keyChanged(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key,
                                 uint32_t state) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    if (!self->m_state)
        return;
    // Wayland sends evdev codes; xkb's are 8 higher.
    const std::optional<Key> known =
        keyForKeysym(xkb_state_key_get_one_sym(self->m_state, key + 8));
    if (!known)
        return;
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
        LatencyTrace::mark("keyboard", "key");
    self->deliver(
        keyboardEvent(Event::Kind::key, {}, *known, state == WL_KEYBOARD_KEY_STATE_PRESSED));
}

void WaylandKeyboard::deliver(const Event& event) {
    if (!m_handler)
        return;
    const Handler handler = m_handler; // the handler may replace itself
    handler(event);
}

} // namespace halvo
