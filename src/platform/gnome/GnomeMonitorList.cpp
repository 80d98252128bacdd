// Reading the extension's monitor list, every member checked.
#include "platform/gnome/GnomeMonitorList.h"

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>

namespace halvo {
namespace {

using nlohmann::json;

std::optional<Rect> rectOf(const json& value) {
    if (!value.is_array() || value.size() != 4 ||
        !std::all_of(value.begin(), value.end(), [](const json& n) {
            return n.is_number_integer() && std::abs(n.get<std::int64_t>()) < 1'000'000;
        }))
        return std::nullopt;
    return Rect{value[0].get<double>(), value[1].get<double>(), value[2].get<double>(),
                value[3].get<double>()};
}

std::optional<int> indexOf(const json& root, const char* name, std::size_t count) {
    const auto it = root.find(name);
    if (it == root.end() || !it->is_number_integer())
        return std::nullopt;
    const auto index = it->get<std::int64_t>();
    if (index < 0 || static_cast<std::size_t>(index) >= count)
        return std::nullopt;
    return static_cast<int>(index);
}

std::uint64_t identifierOf(const Rect& frame) {
    const std::string key = std::to_string(frame.x) + "," + std::to_string(frame.y) + "," +
                            std::to_string(frame.width) + "," + std::to_string(frame.height);
    return std::hash<std::string>{}(key) | 1;
}

} // namespace

std::optional<GnomeMonitorList> GnomeMonitorList::parse(const std::string& text) {
    if (text.size() > maxTextLength)
        return std::nullopt;
    const json root = json::parse(text, nullptr, false);
    if (!root.is_object() || !root.contains("monitors") || !root["monitors"].is_array() ||
        root["monitors"].size() > maxMonitors)
        return std::nullopt;
    std::vector<Screen> screens;
    for (const json& monitor : root["monitors"]) {
        if (!monitor.is_object() || !monitor.contains("frame") || !monitor.contains("workArea"))
            return std::nullopt;
        const std::optional<Rect> frame = rectOf(monitor["frame"]);
        const std::optional<Rect> work = rectOf(monitor["workArea"]);
        if (!frame || !work)
            return std::nullopt;
        Screen screen;
        screen.identifier = identifierOf(*frame);
        screen.name = "Monitor " + std::to_string(screens.size() + 1);
        screen.frame = *frame;
        screen.visibleFrame = *work;
        screens.push_back(std::move(screen));
    }
    const std::optional<Rect> pointer =
        root.contains("pointer") && root["pointer"].is_array() && root["pointer"].size() == 2
            ? rectOf(json::array({root["pointer"][0], root["pointer"][1], 0, 0}))
            : std::nullopt;
    if (!pointer)
        return std::nullopt;
    GnomeMonitorList list;
    list.pointer = pointer->origin();
    if (const auto at = indexOf(root, "pointerMonitor", screens.size()))
        list.pointerScreen = screens[static_cast<std::size_t>(*at)];
    if (const auto primary = indexOf(root, "primary", screens.size()); primary && *primary > 0)
        std::rotate(screens.begin(), screens.begin() + *primary, screens.begin() + *primary + 1);
    list.screens = std::move(screens);
    return list;
}

} // namespace halvo
