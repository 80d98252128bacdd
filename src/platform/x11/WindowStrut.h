// The space docks and panels reserve at the screen edges (_NET_WM_STRUT_PARTIAL, or the older
// _NET_WM_STRUT), read from values another client set and therefore not trusted.
#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace halvo {

class WindowStrut {
public:
    // A range's end that reaches past any screen: the whole edge, whatever the screen's size is
    // now or becomes.
    static constexpr std::uint32_t wholeEdge = 0x7fffffff;

    // The twelve values of _NET_WM_STRUT_PARTIAL for a window: its own partial strut when it has
    // all twelve (a reserved edge whose range is 0..0 taken as the whole edge), else its plain
    // four-value strut stretched along whole edges, else nothing.
    static std::optional<std::vector<std::uint32_t>>
    fromProperties(const std::vector<std::uint32_t>& partial,
                   const std::vector<std::uint32_t>& plain);

    // A monitor (root coordinates) less the struts that lie on it; `rootWidth` and `rootHeight`
    // are the root's size. Always within the monitor: a strut that would leave nothing of it is
    // ignored.
    static Rect visibleArea(const Rect& monitor,
                            const std::vector<std::vector<std::uint32_t>>& struts, double rootWidth,
                            double rootHeight);
};

} // namespace halvo
