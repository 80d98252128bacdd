// get_bar_config without a payload lists the bars' ids; with an id it returns that bar's
// configuration, whose "colors" sway always fills in (its defaults when the config sets none).
#include "platform/sway/SwayTrayTint.h"

#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"

#include <nlohmann/json.hpp>

namespace halvo {
namespace {

// sway writes colours as "#rrggbbaa"; QColor reads "#aarrggbb", so the alpha moves to the front.
std::optional<QColor> parseColour(const std::string& text) {
    if (text.size() != 7 && text.size() != 9)
        return std::nullopt;
    const QString hex = QString::fromStdString(text);
    const QColor colour(text.size() == 9 ? QLatin1Char('#') + hex.right(2) + hex.mid(1, 6) : hex);
    return colour.isValid() ? std::optional(colour) : std::nullopt;
}

} // namespace

std::optional<QColor> SwayTrayTint::query(const std::string& socket) {
    try {
        I3IpcClient client(socket);
        const auto ids = nlohmann::json::parse(client.request(I3IpcMessage::Type::getBarConfig));
        if (!ids.is_array() || ids.empty() || !ids.front().is_string())
            return std::nullopt;
        return fromBarConfig(
            client.request(I3IpcMessage::Type::getBarConfig, ids.front().get<std::string>()));
    } catch (const I3IpcError&) {
        return std::nullopt;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::optional<QColor> SwayTrayTint::fromBarConfig(std::string_view reply) {
    const auto config = nlohmann::json::parse(reply, nullptr, false);
    if (!config.is_object())
        return std::nullopt;
    const auto colours = config.find("colors");
    if (colours == config.end() || !colours->is_object())
        return std::nullopt;
    const auto statusLine = colours->find("statusline");
    if (statusLine == colours->end() || !statusLine->is_string())
        return std::nullopt;
    return parseColour(statusLine->get<std::string>());
}

} // namespace halvo
