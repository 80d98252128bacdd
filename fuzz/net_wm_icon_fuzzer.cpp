// Feeds arbitrary _NET_WM_ICON data to the icon parser: the first byte picks the scale, the rest
// are the 32-bit values as another client could set them.
#include "platform/x11/NetWmIcon.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1)
        return 0;
    const double scale = 0.25 * (bytes[0] % 17);
    std::vector<std::uint32_t> data((size - 1) / 4);
    if (!data.empty())
        std::memcpy(data.data(), bytes + 1, data.size() * 4);

    for (const auto& image : halvo::NetWmIcon::images(data)) {
        const std::uint64_t end = image.offset + std::uint64_t{image.width} * image.height;
        if (image.width == 0 || image.height == 0 || end > data.size())
            std::abort();
    }
    const halvo::AppIconRef icon = halvo::NetWmIcon::bestIcon(data, 52, scale);
    if (icon && icon->pixels.size() != std::size_t(icon->width) * std::size_t(icon->height))
        std::abort();
    return 0;
}
