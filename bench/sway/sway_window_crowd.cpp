// A cheap crowd of Wayland windows for the sway probe: one process opens N xdg toplevels, each its
// own application to a switcher (app id "crowdI", I from 0), each showing a small coloured
// buffer, and then only answers the compositor until it is killed. With --retitle it also changes
// its windows' titles RATE times a second in all (each change a window event sway sends to every
// subscriber): a client flooding sway's window events, as a terminal printing titles in a loop.
//
//   sway_window_crowd COUNT [--retitle RATE]   (on the compositor of WAYLAND_DISPLAY)
#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace {

constexpr int side = 64;
constexpr int bytesPerWindow = side * side * 4;

struct Globals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* shell = nullptr;
};

struct Window {
    wl_surface* surface = nullptr;
    xdg_surface* shellSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
};

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        globals->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        globals->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
        globals->shell =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
}

void removed(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {announce, removed};

void ping(void*, xdg_wm_base* shell, uint32_t serial) {
    xdg_wm_base_pong(shell, serial);
}

const xdg_wm_base_listener shellListener = {ping};

// Each configure is acknowledged and answered with the same buffer: sway places a tiled window's
// content whatever its size.
void configure(void* data, xdg_surface* shellSurface, uint32_t serial) {
    auto* window = static_cast<Window*>(data);
    xdg_surface_ack_configure(shellSurface, serial);
    wl_surface_attach(window->surface, window->buffer, 0, 0);
    wl_surface_damage(window->surface, 0, 0, side, side);
    wl_surface_commit(window->surface);
}

const xdg_surface_listener surfaceListener = {configure};

void toplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
void toplevelClose(void*, xdg_toplevel*) {}
void toplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener toplevelListener = {toplevelConfigure, toplevelClose, toplevelBounds,
                                                toplevelCapabilities};

// One shared-memory pool holding every window's buffer, each filled with a colour of its own.
wl_shm_pool* makePool(wl_shm* shm, int count) {
    const int fd = memfd_create("sway-window-crowd", MFD_CLOEXEC);
    const size_t size = static_cast<size_t>(count) * bytesPerWindow;
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
        return nullptr;
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto* pixels = static_cast<uint32_t*>(memory);
    for (int i = 0; i < count; ++i) {
        const uint32_t colour = 0xff000000u | ((static_cast<uint32_t>(i) * 2654435761u) >> 8);
        std::fill(pixels + i * side * side, pixels + (i + 1) * side * side, colour);
    }
    munmap(memory, size);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    close(fd);
    return pool;
}

// Sends the titles due by the clock while sway keeps up: libwayland ends the connection when a
// request does not fit its buffer of unsent ones, so nothing more is sent until that buffer is
// out, and what sway could not take is skipped.
void retitle(wl_display* display, std::vector<Window>& windows, long perSecond) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long sent = 0;
    bool blocked = false;
    for (;;) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const long due = static_cast<long>(seconds * static_cast<double>(perSecond));
        sent = std::max(sent, due - 32);
        for (; !blocked && sent < due; ++sent) {
            const std::string title = "title " + std::to_string(sent);
            xdg_toplevel_set_title(windows[static_cast<size_t>(sent) % windows.size()].toplevel,
                                   title.c_str());
        }
        blocked = wl_display_flush(display) < 0;
        if (blocked && errno != EAGAIN)
            return;
        pollfd events{wl_display_get_fd(display),
                      static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
        if (poll(&events, 1, 1) > 0 && (events.revents & POLLIN) &&
            wl_display_dispatch(display) < 0)
            return;
    }
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc >= 2 ? std::atoi(argv[1]) : 0;
    const long retitles =
        argc == 4 && std::strcmp(argv[2], "--retitle") == 0 ? std::atol(argv[3]) : 0;
    if (count <= 0 || (argc != 2 && retitles <= 0)) {
        std::fprintf(stderr, "usage: sway_window_crowd COUNT [--retitle RATE]\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "sway_window_crowd: cannot connect to the Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    wl_shm_pool* pool = globals.shm ? makePool(globals.shm, count) : nullptr;
    if (!globals.compositor || !globals.shell || !pool) {
        std::fprintf(stderr, "sway_window_crowd: no compositor, shm or xdg_wm_base\n");
        return 1;
    }
    xdg_wm_base_add_listener(globals.shell, &shellListener, nullptr);
    std::vector<Window> windows(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Window& window = windows[static_cast<size_t>(i)];
        window.buffer = wl_shm_pool_create_buffer(pool, i * bytesPerWindow, side, side, side * 4,
                                                  WL_SHM_FORMAT_ARGB8888);
        window.surface = wl_compositor_create_surface(globals.compositor);
        window.shellSurface = xdg_wm_base_get_xdg_surface(globals.shell, window.surface);
        xdg_surface_add_listener(window.shellSurface, &surfaceListener, &window);
        window.toplevel = xdg_surface_get_toplevel(window.shellSurface);
        xdg_toplevel_add_listener(window.toplevel, &toplevelListener, nullptr);
        const std::string id = "crowd" + std::to_string(i);
        xdg_toplevel_set_app_id(window.toplevel, id.c_str());
        xdg_toplevel_set_title(window.toplevel, id.c_str());
        wl_surface_commit(window.surface);
    }
    if (retitles > 0) {
        wl_display_roundtrip(display);
        retitle(display, windows, retitles);
        return 1;
    }
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
