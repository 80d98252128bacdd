// The icons a window publishes in _NET_WM_ICON: 32-bit values, repeated (width, height, then
// width * height ARGB pixels, row by row). The data comes from another client and is not trusted:
// sizes may be zero, huge or overflowing, and the array may end early.
#pragma once

#include "platform/AppIcon.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace halvo {

class NetWmIcon {
public:
    // Largest side accepted; larger images are taken for garbage and end the parse.
    static constexpr std::uint32_t maximumSide = 4096;

    // One image found in the data: its size and where its pixels start.
    struct Image {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::size_t offset = 0;
    };

    // Every complete image, in the order given. Parsing stops at the first image whose size is
    // zero or above maximumSide, or whose pixels run past the end of the data.
    static std::vector<Image> images(std::span<const std::uint32_t> data);

    // The image drawn best at `points` on a screen with `scale` device pixels per point: the
    // smallest one at least that many pixels on its longer side, else the largest. Ties go to
    // the squarer image, then to the one listed first. Nothing when the data holds no image.
    static AppIconRef bestIcon(std::span<const std::uint32_t> data, double points, double scale);
};

} // namespace halvo
