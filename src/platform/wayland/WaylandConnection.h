// Halvo's own Wayland connection, beside Qt's, for the surfaces Qt cannot make (layer surfaces):
// the globals they need, the outputs by name, the pointer's events on those surfaces and the
// keyboard's (WaylandKeyboard), all read in the Qt event loop.
#pragma once

#include "platform/Geometry.h"
#include "platform/wayland/PointerEvent.h"
#include "platform/wayland/WaylandKeyboard.h"

#include <QObject>
#include <QPointF>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_output_listener;
struct wl_pointer;
struct wl_pointer_listener;
struct wl_registry;
struct wl_registry_listener;
struct wl_seat;
struct wl_seat_listener;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zxdg_output_v1_listener;
class QSocketNotifier;

namespace halvo {

class WaylandConnection final : public QObject {
    Q_OBJECT
public:
    using PointerHandler = std::function<void(const PointerEvent&)>;

    // What the keyboard does while one of this connection's surfaces has its focus.
    using KeyboardEvent = WaylandKeyboard::Event;
    using KeyboardHandler = WaylandKeyboard::Handler;

    // Connects to `display` (a socket name or path, as WAYLAND_DISPLAY gives it; empty: the
    // environment's) and waits for the globals and the outputs' names.
    explicit WaylandConnection(const std::string& display = {});
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // Connected to a compositor that offers shared memory and the layer shell; error() says what
    // is missing otherwise.
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }

    wl_display* display() const { return m_display; }
    wl_compositor* compositor() const { return m_compositor; }
    wl_shm* shm() const { return m_shm; }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }

    // The output named `name` ("HEADLESS-2", "DP-1"), null when there is none.
    wl_output* output(const std::string& name) const;
    // How many outputs have gone away since the connection was made (unplugged, turned off).
    std::uint64_t outputsRemoved() const { return m_outputsRemoved; }
    // The scale the compositor renders the output named `name` at (2 on a HiDPI output whose
    // config says `scale 2`); 1 when there is no such output or it says none.
    int outputScale(const std::string& name) const;
    // The name of the output whose logical rectangle (xdg-output's, in layout coordinates) is
    // `rect`; empty when none is. For compositors that report outputs by place only (KWin 5.27).
    std::string outputNameAt(const Rect& rect) const;

    // Pointer events on `surface` go to `handler` until it is removed.
    void setPointerHandler(wl_surface* surface, PointerHandler handler);
    void removePointerHandler(wl_surface* surface);

    // Whether the seat has a pointer (headless compositors may have none).
    bool hasPointer() const { return m_pointer != nullptr; }
    // The surface of this connection's that the pointer is over, null when none is.
    wl_surface* pointerFocus() const { return m_pointerSurface; }
    // The surface of this connection that has the keyboard focus, null when none has.
    wl_surface* keyboardFocus() const { return m_keyboard.focus(); }
    // Keyboard events of every surface of this connection go to `handler` (one at a time; an
    // empty one stops them). The compositor follows each enter with the modifiers held then.
    void setKeyboardHandler(KeyboardHandler handler) { m_keyboard.setHandler(std::move(handler)); }

    // Sends every queued request now.
    void flush();
    // Reads and handles what the compositor has sent so far, now rather than when the event loop
    // gets to the socket: a busy loop may run a due timer first.
    void dispatch();

Q_SIGNALS:
    // The compositor went away or ended the connection for a protocol error.
    void connectionLost();

private:
    struct Output {
        uint32_t globalName = 0;
        wl_output* output = nullptr;
        zxdg_output_v1* details = nullptr;
        std::string name;
        int scale = 1;
        Rect logical; // xdg-output's logical position and size
    };

    void watchOutputName(Output& output);
    void deliver(const PointerEvent& event);

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version);
    static void globalRemoved(void* data, wl_registry* registry, uint32_t name);
    static void seatCapabilities(void* data, wl_seat* seat, uint32_t capabilities);
    static void seatName(void* data, wl_seat* seat, const char* name);
    static void outputName(void* data, zxdg_output_v1* output, const char* name);
    static void outputPosition(void* data, zxdg_output_v1* output, int32_t x, int32_t y);
    static void outputSize(void* data, zxdg_output_v1* output, int32_t width, int32_t height);
    static void outputScaleChanged(void* data, wl_output* output, int32_t factor);
    static void pointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                             int32_t x, int32_t y);
    static void pointerLeave(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface);
    static void pointerMotion(void* data, wl_pointer* pointer, uint32_t time, int32_t x, int32_t y);
    static void pointerButton(void* data, wl_pointer* pointer, uint32_t serial, uint32_t time,
                              uint32_t button, uint32_t state);
    static const wl_registry_listener s_registryListener;
    static const wl_seat_listener s_seatListener;
    static const wl_pointer_listener s_pointerListener;
    static const zxdg_output_v1_listener s_outputListener;
    static const wl_output_listener s_outputScaleListener;

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    wl_pointer* m_pointer = nullptr;
    WaylandKeyboard m_keyboard;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    zxdg_output_manager_v1* m_outputManager = nullptr;
    std::vector<std::unique_ptr<Output>> m_outputs;
    std::uint64_t m_outputsRemoved = 0;
    std::map<wl_surface*, PointerHandler> m_pointerHandlers;
    wl_surface* m_pointerSurface = nullptr;
    QPointF m_pointerPosition;
    QSocketNotifier* m_notifier = nullptr;
    std::string m_error;
};

} // namespace halvo
