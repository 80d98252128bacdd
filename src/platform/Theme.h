// The colour scheme a panel takes (the overlay's appearance); the raw value is the stored form.
#pragma once

#include <array>
#include <string>

namespace halvo {

enum class Theme { system, light, dark };

inline constexpr std::array<Theme, 3> allThemes = {Theme::system, Theme::light, Theme::dark};

inline std::string rawValue(Theme theme) {
    switch (theme) {
    case Theme::light:
        return "light";
    case Theme::dark:
        return "dark";
    case Theme::system:
        break;
    }
    return "system";
}

} // namespace halvo
