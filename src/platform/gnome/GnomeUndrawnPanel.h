// The overlay's panel in GNOME Shell as far as it goes today: it keeps the frame and whether it
// is shown, but nothing is drawn yet (the shell's chrome is to show the view's pixels). Switching,
// moves and full screen work without it.
#pragma once

#include "platform/Panel.h"

namespace halvo {

class GnomeUndrawnPanel final : public Panel {
public:
    void setFrame(Rect frame) override { m_frame = frame; }
    Rect frame() const override { return m_frame; }
    void orderFront() override {}
    void orderOut() override {}
    void setAppearance(Theme) override {}

private:
    Rect m_frame{};
};

} // namespace halvo
