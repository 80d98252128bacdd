// The colour Halvo's monochrome tray icon is drawn in on sway: swaybar's status-line text colour,
// so the icon reads on the bar as the bar's own text does. Qt's palette knows nothing of the bar
// (its default text colour is black, and swaybar's default background is black too).
#pragma once

#include <QColor>
#include <optional>
#include <string>
#include <string_view>

namespace halvo {

class SwayTrayTint {
public:
    // The status-line colour of the first bar sway reports, through the IPC socket at `socket`;
    // nothing when there is no bar or sway does not answer.
    static std::optional<QColor> query(const std::string& socket);
    // The status-line colour in one reply to get_bar_config ("#rrggbb" or "#rrggbbaa"); nothing
    // when the reply holds none that parses.
    static std::optional<QColor> fromBarConfig(std::string_view reply);
};

} // namespace halvo
