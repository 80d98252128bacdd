// The attached monitors and the pointer, in the desktop's layout coordinates (see Geometry.h): y
// down, in logical pixels. On X11 a logical pixel is a pixel of the root window; on Wayland it is
// a pixel of the compositor's layout, which an output at scale s shows with s x s device pixels.
// Device pixels appear only where a surface is drawn.
#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

struct Screen {
    // Stable for as long as the monitor stays attached; a monitor that is unplugged and plugged
    // back in is a new screen. Two screens are the same screen when their identifiers are equal.
    std::uint64_t identifier = 0;
    std::string name;
    Rect frame;        // the whole monitor
    Rect visibleFrame; // the monitor less the panels and docks reserved on it

    bool operator==(const Screen& other) const { return identifier == other.identifier; }
};

class Screens {
public:
    virtual ~Screens() = default;

    // In system order: the first is the primary screen. Empty when no monitor is known.
    virtual std::vector<Screen> screens() const = 0;

    // The screen the user is working on (the one holding the active window), if any.
    virtual std::optional<Screen> mainScreen() const = 0;

    // The pointer's location (on X11 the top-left corner of the pixel it is on).
    virtual Point mouseLocation() const = 0;
    // Says that mouseLocation() is about to be asked (the overlay is being shown): a backend may
    // send its query now, so that the answer rides with the round trips made before it.
    virtual void expectMouseLocation() const {}
};

} // namespace halvo
