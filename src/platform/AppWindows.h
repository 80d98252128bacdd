// An application's windows as one read gives them, with the two it singles out.
#pragma once

#include "platform/WindowInfo.h"

#include <optional>
#include <vector>

namespace halvo {

struct AppWindows {
    std::vector<WindowInfo> windows; // the application's order: topmost first
    // The window to bring forward when the application is activated: the topmost one not
    // minimised (the topmost when all are).
    std::optional<WindowID> main;
    // The window that has, or would get, the keyboard focus.
    std::optional<WindowID> focused;

    const WindowInfo* find(std::optional<WindowID> id) const {
        if (!id)
            return nullptr;
        for (const WindowInfo& window : windows) {
            if (window.id == *id)
                return &window;
        }
        return nullptr;
    }
};

} // namespace halvo
