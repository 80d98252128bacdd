// Monitors and a pointer that tests place by hand.
#pragma once

#include "platform/Screens.h"

#include <utility>

namespace halvo {

class SimScreens final : public Screens {
public:
    std::vector<Screen> screens() const override { return m_screens; }
    std::optional<Screen> mainScreen() const override { return m_mainScreen; }
    Point mouseLocation() const override { return m_mouse; }

    // Test controls. Identifiers are handed out in order, starting at 1.
    Screen& addScreen(Rect frame, Rect visibleFrame, std::string name = {}) {
        m_screens.push_back({++m_lastIdentifier, std::move(name), frame, visibleFrame});
        return m_screens.back();
    }
    Screen& addScreen(Rect frame) { return addScreen(frame, frame); }
    void removeScreen(std::uint64_t identifier) {
        std::erase_if(m_screens, [&](const Screen& s) { return s.identifier == identifier; });
    }
    void setMainScreen(std::optional<Screen> screen) { m_mainScreen = std::move(screen); }
    void setMouseLocation(Point p) { m_mouse = p; }

private:
    std::vector<Screen> m_screens;
    std::optional<Screen> m_mainScreen;
    Point m_mouse;
    std::uint64_t m_lastIdentifier = 0;
};

} // namespace halvo
