// The listener structs of libwayland's core interfaces grow with its releases (1.23 added
// wl_pointer's axis_relative_direction), so an aggregate that names every member compiles
// against one release only. Listeners are made here instead: value-initialised, their members
// set by name. A member a newer release adds stays null; it belongs to an event of an interface
// version above the one bound, which the compositor never sends.
#pragma once

namespace halvo {

template <typename Listener, typename Fill> Listener waylandListener(Fill fill) {
    Listener listener{};
    fill(listener);
    return listener;
}

} // namespace halvo
