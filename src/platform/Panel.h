// A floating, never-activating panel that carries the overlay: framed in the desktop's layout
// coordinates, ordered front and out, and given the overlay's colour scheme.
#pragma once

#include "platform/Geometry.h"
#include "platform/Theme.h"

namespace halvo {

class Panel {
public:
    virtual ~Panel() = default;

    // Places the panel at `frame`, in layout coordinates and logical pixels like the screens'
    // frames, and resizes the view it hosts to the frame's size. A panel on an output with a
    // scale draws with that many device pixels per logical pixel; the frame does not change.
    virtual void setFrame(Rect frame) = 0;
    virtual Rect frame() const = 0;

    // Puts the panel above every other window without activating this program or taking focus.
    virtual void orderFront() = 0;
    // Takes the panel off screen; it keeps its frame and content for the next orderFront().
    virtual void orderOut() = 0;

    // `system` follows the desktop's colour scheme; `light` and `dark` force one.
    virtual void setAppearance(Theme theme) = 0;
};

} // namespace halvo
