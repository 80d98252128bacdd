// An application's icon as the platform found it. Shared, immutable, compared by identity.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace halvo {

struct AppIcon {
    // An icon-theme name (from a desktop entry); empty when the icon came as pixels.
    std::string themeName;
    // ARGB32 pixels, row by row, when the icon came from the window itself.
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Two icons are the same icon only when they are the same object.
using AppIconRef = std::shared_ptr<const AppIcon>;

} // namespace halvo
