// A panel that only records what it was asked to do, for tests of the overlay's logic.
#pragma once

#include "platform/Panel.h"

#include <vector>

namespace halvo {

class SimPanel final : public Panel {
public:
    void setFrame(Rect frame) override {
        m_frame = frame;
        m_frames.push_back(frame);
    }
    Rect frame() const override { return m_frame; }
    void orderFront() override {
        ++m_orderFrontCount;
        m_isOnScreen = true;
    }
    void orderOut() override {
        ++m_orderOutCount;
        m_isOnScreen = false;
    }
    void setAppearance(Theme theme) override { m_appearances.push_back(theme); }

    // What the logic asked for.
    const std::vector<Rect>& frames() const { return m_frames; }
    int orderFrontCount() const { return m_orderFrontCount; }
    int orderOutCount() const { return m_orderOutCount; }
    bool isOnScreen() const { return m_isOnScreen; }
    const std::vector<Theme>& appearances() const { return m_appearances; }

private:
    Rect m_frame;
    std::vector<Rect> m_frames;
    int m_orderFrontCount = 0;
    int m_orderOutCount = 0;
    bool m_isOnScreen = false;
    std::vector<Theme> m_appearances;
};

} // namespace halvo
