// The monitors (RandR 1.5, primary first) and the pointer in screen space; each monitor's
// visible frame leaves out the struts of the docks and panels on it.
#pragma once

#include "platform/Screens.h"
#include "platform/x11/X11Connection.h"

namespace halvo {

class X11Screens final : public Screens {
public:
    explicit X11Screens(X11Connection& connection) : m_connection(connection) {}

    std::vector<Screen> screens() const override;
    // The monitor holding the centre of the active window, else the one under the pointer.
    std::optional<Screen> mainScreen() const override;
    Point mouseLocation() const override;

    // A monitor (root coordinates) less the struts that lie on it. Each strut is the twelve
    // values of _NET_WM_STRUT_PARTIAL; `rootWidth` and `rootHeight` are the root's size.
    static Rect visibleArea(const Rect& monitor,
                            const std::vector<std::vector<std::uint32_t>>& struts, double rootWidth,
                            double rootHeight);

private:
    X11Connection& m_connection;
};

} // namespace halvo
