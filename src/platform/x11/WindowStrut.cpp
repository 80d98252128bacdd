// Reading strut values and taking the reserved bands off a monitor.
#include "platform/x11/WindowStrut.h"

#include <algorithm>

namespace halvo {

std::optional<std::vector<std::uint32_t>>
WindowStrut::fromProperties(const std::vector<std::uint32_t>& partial,
                            const std::vector<std::uint32_t>& plain) {
    if (partial.size() == 12) {
        auto strut = partial;
        // awesome's wibar reserves its edge with every range left at 0..0: read such a range
        // as the whole edge, as the older form has it, rather than as one pixel of it.
        for (std::size_t edge = 0; edge < 4; ++edge) {
            if (strut[edge] > 0 && strut[4 + 2 * edge] == 0 && strut[5 + 2 * edge] == 0)
                strut[5 + 2 * edge] = wholeEdge;
        }
        return strut;
    }
    if (plain.size() != 4)
        return std::nullopt;
    // The older form reserves along the whole edge.
    return std::vector<std::uint32_t>{plain[0], plain[1],  plain[2], plain[3],  0, wholeEdge,
                                      0,        wholeEdge, 0,        wholeEdge, 0, wholeEdge};
}

Rect WindowStrut::visibleArea(const Rect& monitor,
                              const std::vector<std::vector<std::uint32_t>>& struts,
                              double rootWidth, double rootHeight) {
    double left = monitor.minX();
    double right = monitor.maxX();
    double top = monitor.minY();
    double bottom = monitor.maxY();
    for (const auto& s : struts) {
        if (s.size() != 12)
            continue;
        // Each reserved band as a root rectangle: left, right, top, bottom.
        const Rect bands[4] = {
            {0, double(s[4]), double(s[0]), double(s[5]) - s[4] + 1},
            {rootWidth - s[1], double(s[6]), double(s[1]), double(s[7]) - s[6] + 1},
            {double(s[8]), 0, double(s[9]) - s[8] + 1, double(s[2])},
            {double(s[10]), rootHeight - s[3], double(s[11]) - s[10] + 1, double(s[3])},
        };
        if (s[0] > 0 && !bands[0].intersection(monitor).isEmpty())
            left = std::max(left, bands[0].maxX());
        if (s[1] > 0 && !bands[1].intersection(monitor).isEmpty())
            right = std::min(right, bands[1].minX());
        if (s[2] > 0 && !bands[2].intersection(monitor).isEmpty())
            top = std::max(top, bands[2].maxY());
        if (s[3] > 0 && !bands[3].intersection(monitor).isEmpty())
            bottom = std::min(bottom, bands[3].minY());
    }
    if (right <= left || bottom <= top)
        return monitor; // a strut that would swallow the monitor is ignored
    return {left, top, right - left, bottom - top};
}

} // namespace halvo
