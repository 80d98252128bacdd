// Walking _NET_WM_ICON data and choosing the image for the overlay's icon size.
#include "platform/x11/NetWmIcon.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace halvo {

std::vector<NetWmIcon::Image> NetWmIcon::images(std::span<const std::uint32_t> data) {
    std::vector<Image> result;
    std::size_t at = 0;
    while (data.size() - at >= 2) {
        const std::uint32_t width = data[at];
        const std::uint32_t height = data[at + 1];
        if (width == 0 || height == 0 || width > maximumSide || height > maximumSide)
            break;
        // Both sides are at most 4096, so the product fits comfortably in 64 bits.
        const std::uint64_t pixels = std::uint64_t{width} * height;
        const std::size_t start = at + 2;
        if (pixels > data.size() - start)
            break;
        result.push_back({width, height, start});
        at = start + static_cast<std::size_t>(pixels);
    }
    return result;
}

AppIconRef NetWmIcon::bestIcon(std::span<const std::uint32_t> data, double points, double scale) {
    const std::vector<Image> found = images(data);
    if (found.empty())
        return nullptr;
    const double wanted = std::ceil(points * std::max(scale, 0.0));
    const auto side = [](const Image& image) { return std::max(image.width, image.height); };
    const auto skew = [](const Image& image) {
        return std::max(image.width, image.height) - std::min(image.width, image.height);
    };
    // Ranks images: big enough beats too small; among big enough the smaller, among too small
    // the larger; then the squarer.
    const auto better = [&](const Image& a, const Image& b) {
        const bool aFits = side(a) >= wanted;
        const bool bFits = side(b) >= wanted;
        if (aFits != bFits)
            return aFits;
        if (side(a) != side(b))
            return aFits ? side(a) < side(b) : side(a) > side(b);
        return skew(a) < skew(b);
    };
    const Image* best = &found.front();
    for (const Image& image : found) {
        if (better(image, *best))
            best = &image;
    }
    auto icon = std::make_shared<AppIcon>();
    icon->width = static_cast<int>(best->width);
    icon->height = static_cast<int>(best->height);
    const auto first = data.begin() + static_cast<std::ptrdiff_t>(best->offset);
    icon->pixels.assign(
        first, first + static_cast<std::ptrdiff_t>(std::uint64_t{best->width} * best->height));
    return icon;
}

} // namespace halvo
