// Globals are bound at start (one round trip), the outputs' names come from xdg-output (a second
// round trip); later events are read whenever the socket is readable, and requests are flushed
// before the event loop sleeps.
#include "platform/wayland/WaylandConnection.h"

#include "platform/wayland/WaylandListeners.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <linux/input-event-codes.h>
#include <wayland-client.h>

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

} // namespace

const wl_registry_listener WaylandConnection::s_registryListener = {
    .global = &WaylandConnection::global,
    .global_remove = &WaylandConnection::globalRemoved,
};

const wl_seat_listener WaylandConnection::s_seatListener =
    waylandListener<wl_seat_listener>([](wl_seat_listener& listener) {
        listener.capabilities = &WaylandConnection::seatCapabilities;
        listener.name = &WaylandConnection::seatName;
    });

const wl_pointer_listener WaylandConnection::s_pointerListener =
    waylandListener<wl_pointer_listener>([](wl_pointer_listener& listener) {
        listener.enter = &WaylandConnection::pointerEnter;
        listener.leave = &WaylandConnection::pointerLeave;
        listener.motion = &WaylandConnection::pointerMotion;
        listener.button = &WaylandConnection::pointerButton;
        listener.axis = [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {};
        listener.frame = [](void*, wl_pointer*) {};
        listener.axis_source = [](void*, wl_pointer*, uint32_t) {};
        listener.axis_stop = [](void*, wl_pointer*, uint32_t, uint32_t) {};
        listener.axis_discrete = [](void*, wl_pointer*, uint32_t, int32_t) {};
        listener.axis_value120 = [](void*, wl_pointer*, uint32_t, int32_t) {};
    });

const zxdg_output_v1_listener WaylandConnection::s_outputListener = {
    .logical_position = &WaylandConnection::outputPosition,
    .logical_size = &WaylandConnection::outputSize,
    .done = [](void*, zxdg_output_v1*) {},
    .name = &WaylandConnection::outputName,
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

// Only the scale is wanted from wl_output; the name comes from xdg-output.
const wl_output_listener WaylandConnection::s_outputScaleListener =
    waylandListener<wl_output_listener>([](wl_output_listener& listener) {
        listener.geometry = [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t,
                               const char*, const char*, int32_t) {};
        listener.mode = [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {};
        listener.done = [](void*, wl_output*) {};
        listener.scale = &WaylandConnection::outputScaleChanged;
        listener.name = [](void*, wl_output*, const char*) {};
        listener.description = [](void*, wl_output*, const char*) {};
    });

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
    m_keyboard.close();
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
    self->m_outputsRemoved +=
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

void WaylandConnection::outputPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    Rect& logical = static_cast<Output*>(data)->logical;
    logical.x = x;
    logical.y = y;
}

void WaylandConnection::outputSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    Rect& logical = static_cast<Output*>(data)->logical;
    logical.width = width;
    logical.height = height;
}

std::string WaylandConnection::outputNameAt(const Rect& rect) const {
    for (const auto& output : m_outputs) {
        if (output->logical == rect)
            return output->name;
    }
    return {};
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
    if (hasKeyboard && !self->m_keyboard.attached())
        self->m_keyboard.attach(seat);
    else if (!hasKeyboard && self->m_keyboard.attached())
        self->m_keyboard.lost();
}

void WaylandConnection::seatName(void*, wl_seat*, const char*) {}

void WaylandConnection::setPointerHandler(wl_surface* surface, PointerHandler handler) {
    m_pointerHandlers[surface] = std::move(handler);
}

void WaylandConnection::removePointerHandler(wl_surface* surface) {
    m_pointerHandlers.erase(surface);
    if (m_pointerSurface == surface)
        m_pointerSurface = nullptr;
    m_keyboard.forget(surface);
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
