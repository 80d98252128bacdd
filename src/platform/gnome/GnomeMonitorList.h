// One answer of the extension's GetMonitors (JSON text from inside the shell, not trusted): the
// monitors with their work areas, the primary one and the pointer. Free of Qt.
#pragma once

#include "platform/Screens.h"

#include <optional>
#include <string>
#include <vector>

namespace halvo {

struct GnomeMonitorList {
    static constexpr std::size_t maxTextLength = 64 * 1024;
    static constexpr std::size_t maxMonitors = 64;

    // Primary first. The shell names no connectors: a monitor is known by its frame.
    std::vector<Screen> screens;
    Point pointer;
    std::optional<Screen> pointerScreen;

    // Nothing when the text is not a monitor list.
    static std::optional<GnomeMonitorList> parse(const std::string& text);
};

} // namespace halvo
