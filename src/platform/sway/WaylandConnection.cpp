// Globals are bound at start (one round trip), the outputs' names come from xdg-output (a second
// round trip); later events are read whenever the socket is readable, and requests are flushed
// before the event loop sleeps.
#include "platform/sway/WaylandConnection.h"

#include "platform/sway/LatencyTrace.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace halvo {
namespace {

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

Qt::MouseButton qtButton(uint32_t button) {
    switch (button) {
    case BTN_LEFT:
        return Qt::LeftButton;
    case BTN_RIGHT:
        return Qt::RightButton;
    case BTN_MIDDLE:
        return Qt::MiddleButton;
    default:
        return Qt::NoButton;
    }
}

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

WaylandConnection::KeyboardEvent keyboardEvent(WaylandConnection::KeyboardEvent::Kind kind,
                                               Modifiers modifiers = {}, Key key = Key::escape,
                                               bool pressed = false) {
    WaylandConnection::KeyboardEvent event;
    event.kind = kind;
    event.modifiers = modifiers;
    event.key = key;
    event.pressed = pressed;
    return event;
}

} // namespace

const wl_registry_listener WaylandConnection::s_registryListener = {
    .global = &WaylandConnection::global,
    .global_remove = &WaylandConnection::globalRemoved,
};

const wl_seat_listener WaylandConnection::s_seatListener = {
    .capabilities = &WaylandConnection::seatCapabilities,
    .name = &WaylandConnection::seatName,
};

// The seat is bound at version 5: the events that later versions add to the listener
// (axis_value120 in libwayland 1.21, axis_relative_direction in 1.23) are never sent, and the
// members a libwayland of either release may or may not have stay null.
const wl_pointer_listener WaylandConnection::s_pointerListener = [] {
    wl_pointer_listener listener{};
    listener.enter = &WaylandConnection::pointerEnter;
    listener.leave = &WaylandConnection::pointerLeave;
    listener.motion = &WaylandConnection::pointerMotion;
    listener.button = &WaylandConnection::pointerButton;
    listener.axis = [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {};
    listener.frame = [](void*, wl_pointer*) {};
    listener.axis_source = [](void*, wl_pointer*, uint32_t) {};
    listener.axis_stop = [](void*, wl_pointer*, uint32_t, uint32_t) {};
    listener.axis_discrete = [](void*, wl_pointer*, uint32_t, int32_t) {};
    return listener;
}();

// Key repeat is the client's to make and none is made: a held key is one press.
const wl_keyboard_listener WaylandConnection::s_keyboardListener = {
    .keymap = &WaylandConnection::keyboardKeymap,
    .enter = &WaylandConnection::keyboardEnter,
    .leave = &WaylandConnection::keyboardLeave,
    .key = &WaylandConnection::keyboardKey,
    .modifiers = &WaylandConnection::keyboardModifiers,
    .repeat_info = [](void*, wl_keyboard*, int32_t, int32_t) {},
};

const zxdg_output_v1_listener WaylandConnection::s_outputListener = {
    .logical_position = [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    .logical_size = [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    .done = [](void*, zxdg_output_v1*) {},
    .name = &WaylandConnection::outputName,
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

// Only the scale is wanted from wl_output; the name comes from xdg-output.
const wl_output_listener WaylandConnection::s_outputScaleListener = {
    .geometry = [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                   const char*, int32_t) {},
    .mode = [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {},
    .done = [](void*, wl_output*) {},
    .scale = &WaylandConnection::outputScaleChanged,
    .name = [](void*, wl_output*, const char*) {},
    .description = [](void*, wl_output*, const char*) {},
};

WaylandConnection::WaylandConnection(const std::string& display) {
    m_display = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (!m_display) {
        m_error = "cannot connect to the Wayland display";
        return;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &s_registryListener, this);
    wl_display_roundtrip(m_display);
    for (auto& output : m_outputs)
        watchOutputName(*output);
    wl_display_roundtrip(m_display);
    if (!m_compositor || !m_shm)
        m_error = "the compositor offers no surfaces or no shared memory";
    else if (!m_layerShell)
        m_error = "the compositor offers no layer shell (zwlr_layer_shell_v1)";

    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &WaylandConnection::flush);
}

WaylandConnection::~WaylandConnection() {
    if (!m_display)
        return;
    for (auto& output : m_outputs) {
        if (output->details)
            zxdg_output_v1_destroy(output->details);
        wl_output_destroy(output->output);
    }
    if (m_pointer)
        wl_pointer_destroy(m_pointer);
    if (m_keyboard)
        wl_keyboard_destroy(m_keyboard);
    xkb_state_unref(m_keyState);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_xkb);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_outputManager)
        zxdg_output_manager_v1_destroy(m_outputManager);
    if (m_layerShell)
        zwlr_layer_shell_v1_destroy(m_layerShell);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

void WaylandConnection::global(void* data, wl_registry* registry, uint32_t name,
                               const char* interface, uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    const auto is = [&](const wl_interface& i) { return strcmp(interface, i.name) == 0; };
    if (is(wl_compositor_interface)) {
        self->m_compositor =
            bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (is(wl_shm_interface)) {
        self->m_shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (is(wl_seat_interface) && !self->m_seat) {
        self->m_seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(self->m_seat, &s_seatListener, self);
    } else if (is(zwlr_layer_shell_v1_interface)) {
        // Version 3 brings the shell's destroy request; nothing newer is used.
        self->m_layerShell =
            bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3);
    } else if (is(zxdg_output_manager_v1_interface)) {
        // Version 2 brings the output's name.
        self->m_outputManager = bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, 2);
    } else if (is(wl_output_interface)) {
        auto output = std::make_unique<Output>();
        output->globalName = name;
        // Version 2 brings the output's scale.
        output->output = bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(output->output, &s_outputScaleListener, output.get());
        if (self->m_outputManager)
            self->watchOutputName(*output);
        self->m_outputs.push_back(std::move(output));
    }
}

void WaylandConnection::globalRemoved(void* data, wl_registry*, uint32_t name) {
    auto* self = static_cast<WaylandConnection*>(data);
    std::erase_if(self->m_outputs, [&](const std::unique_ptr<Output>& output) {
        if (output->globalName != name)
            return false;
        if (output->details)
            zxdg_output_v1_destroy(output->details);
        wl_output_destroy(output->output);
        return true;
    });
}

void WaylandConnection::watchOutputName(Output& output) {
    if (!m_outputManager || output.details)
        return;
    output.details = zxdg_output_manager_v1_get_xdg_output(m_outputManager, output.output);
    zxdg_output_v1_add_listener(output.details, &s_outputListener, &output);
}

void WaylandConnection::outputName(void* data, zxdg_output_v1*, const char* name) {
    static_cast<Output*>(data)->name = name;
}

void WaylandConnection::outputScaleChanged(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = std::max(1, static_cast<int>(factor));
}

int WaylandConnection::outputScale(const std::string& name) const {
    for (const auto& output : m_outputs) {
        if (output->name == name)
            return output->scale;
    }
    return 1;
}

wl_output* WaylandConnection::output(const std::string& name) const {
    for (const auto& output : m_outputs) {
        if (output->name == name)
            return output->output;
    }
    return nullptr;
}

void WaylandConnection::seatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    auto* self = static_cast<WaylandConnection*>(data);
    const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (hasPointer && !self->m_pointer) {
        self->m_pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(self->m_pointer, &s_pointerListener, self);
    } else if (!hasPointer && self->m_pointer) {
        wl_pointer_destroy(self->m_pointer);
        self->m_pointer = nullptr;
    }
    const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasKeyboard && !self->m_keyboard) {
        self->m_keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->m_keyboard, &s_keyboardListener, self);
    } else if (!hasKeyboard && self->m_keyboard) {
        wl_keyboard_destroy(self->m_keyboard);
        self->m_keyboard = nullptr;
        if (self->m_keyboardSurface) {
            self->m_keyboardSurface = nullptr;
            self->deliver(keyboardEvent(KeyboardEvent::Kind::leave));
        }
    }
}

void WaylandConnection::keyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface* surface,
                                      wl_array*) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_keyboardSurface = surface;
    self->deliver(keyboardEvent(KeyboardEvent::Kind::enter));
}

void WaylandConnection::keyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface* surface) {
    auto* self = static_cast<WaylandConnection*>(data);
    if (self->m_keyboardSurface == surface)
        self->m_keyboardSurface = nullptr;
    self->deliver(keyboardEvent(KeyboardEvent::Kind::leave));
}

// The compositor sends the keyboard's keymap as a file; a keymap that cannot be read leaves keys
// unread and the modifiers unknown until the next one.
void WaylandConnection::keyboardKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd,
                                       uint32_t size) {
    auto* self = static_cast<WaylandConnection*>(data);
    xkb_state_unref(self->m_keyState);
    xkb_keymap_unref(self->m_keymap);
    self->m_keyState = nullptr;
    self->m_keymap = nullptr;
    if (!self->m_xkb)
        self->m_xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0
                     ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                     : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED || !self->m_xkb)
        return;
    // The text ends with a NUL inside `size`.
    self->m_keymap = xkb_keymap_new_from_buffer(
        self->m_xkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (self->m_keymap)
        self->m_keyState = xkb_state_new(self->m_keymap);
}

void WaylandConnection::keyboardModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed,
                                          uint32_t latched, uint32_t locked, uint32_t group) {
    auto* self = static_cast<WaylandConnection*>(data);
    if (!self->m_keyState)
        return;
    xkb_state_update_mask(self->m_keyState, depressed, latched, locked, 0, 0, group);
    self->deliver(keyboardEvent(KeyboardEvent::Kind::modifiers, heldModifiers(self->m_keyState)));
}

void WaylandConnection::keyboardKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key,
                                    uint32_t state) {
    auto* self = static_cast<WaylandConnection*>(data);
    if (!self->m_keyState)
        return;
    // Wayland sends evdev codes; xkb's are 8 higher.
    const std::optional<Key> known =
        keyForKeysym(xkb_state_key_get_one_sym(self->m_keyState, key + 8));
    if (!known)
        return;
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
        LatencyTrace::mark("keyboard", "key");
    self->deliver(keyboardEvent(KeyboardEvent::Kind::key, {}, *known,
                                state == WL_KEYBOARD_KEY_STATE_PRESSED));
}

void WaylandConnection::deliver(const KeyboardEvent& event) {
    if (!m_keyboardHandler)
        return;
    const KeyboardHandler handler = m_keyboardHandler; // the handler may replace itself
    handler(event);
}

void WaylandConnection::seatName(void*, wl_seat*, const char*) {}

void WaylandConnection::setPointerHandler(wl_surface* surface, PointerHandler handler) {
    m_pointerHandlers[surface] = std::move(handler);
}

void WaylandConnection::removePointerHandler(wl_surface* surface) {
    m_pointerHandlers.erase(surface);
    if (m_pointerSurface == surface)
        m_pointerSurface = nullptr;
    if (m_keyboardSurface == surface)
        m_keyboardSurface = nullptr;
}

void WaylandConnection::deliver(const PointerEvent& event) {
    const auto handler = m_pointerHandlers.find(m_pointerSurface);
    if (handler != m_pointerHandlers.end())
        handler->second(event);
}

void WaylandConnection::pointerEnter(void* data, wl_pointer*, uint32_t, wl_surface* surface,
                                     wl_fixed_t x, wl_fixed_t y) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_pointerSurface = surface;
    self->m_pointerPosition = {wl_fixed_to_double(x), wl_fixed_to_double(y)};
    self->deliver({PointerEvent::Kind::enter, self->m_pointerPosition});
}

void WaylandConnection::pointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->deliver({PointerEvent::Kind::leave, self->m_pointerPosition});
    self->m_pointerSurface = nullptr;
}

void WaylandConnection::pointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x,
                                      wl_fixed_t y) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_pointerPosition = {wl_fixed_to_double(x), wl_fixed_to_double(y)};
    self->deliver({PointerEvent::Kind::motion, self->m_pointerPosition});
}

void WaylandConnection::pointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button,
                                      uint32_t state) {
    auto* self = static_cast<WaylandConnection*>(data);
    const auto kind = state == WL_POINTER_BUTTON_STATE_PRESSED ? PointerEvent::Kind::press
                                                               : PointerEvent::Kind::release;
    self->deliver({kind, self->m_pointerPosition, qtButton(button)});
}

void WaylandConnection::flush() {
    if (m_display)
        wl_display_flush(m_display);
}

void WaylandConnection::dispatch() {
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_read_events(m_display) == 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_get_error(m_display) != 0) {
        m_notifier->setEnabled(false);
        Q_EMIT connectionLost();
    }
}

} // namespace halvo
