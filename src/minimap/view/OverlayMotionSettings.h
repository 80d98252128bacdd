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
};

} // namespace halvo
