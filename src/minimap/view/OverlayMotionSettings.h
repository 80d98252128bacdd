// The desktop's accessibility preferences the overlay honours: reduce motion, reduce transparency,
// increased contrast, and whether the desktop prefers a dark colour scheme.
#pragma once

#include <optional>

namespace halvo {

struct OverlayMotionSettings {
    bool reduceMotion = false;
    bool reduceTransparency = false;
    bool increasedContrast = false;
    // The desktop's own preference when it states one; none leaves it to the palette.
    std::optional<bool> prefersDark;

    // Read from GNOME's settings where their schemas are installed, then overridden by
    // HALVO_REDUCE_MOTION=1|0, HALVO_REDUCE_TRANSPARENCY=1|0 and HALVO_COLOR_SCHEME=dark|light.
    static OverlayMotionSettings fromDesktop();
};

} // namespace halvo
