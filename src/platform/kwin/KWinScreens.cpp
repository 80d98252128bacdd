// Screens from the script's reports; see KWinScreens.h.
#include "platform/kwin/KWinScreens.h"

#include "platform/wayland/WaylandConnection.h"

namespace halvo {
namespace {

constexpr std::chrono::milliseconds cursorTimeout{500};

} // namespace

KWinScreens::KWinScreens(KWinScriptChannel& channel, const WaylandConnection& connection)
    : m_channel(channel), m_connection(connection) {}

std::uint64_t KWinScreens::identifierFor(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    const auto [it, added] = m_identifiers.try_emplace(name, m_identifiers.size() + 1);
    return it->second;
}

std::vector<Screen> KWinScreens::screensOf(const KWinState& state) const {
    std::vector<Screen> screens;
    for (const KWinState::Output& output : state.outputs()) {
        Screen screen;
        screen.name = m_connection.outputNameAt(output.frame);
        // An output Halvo's connection has not heard of yet is known by its place.
        const std::string key = screen.name.empty() ? std::to_string(output.frame.x) + "," +
                                                          std::to_string(output.frame.y)
                                                    : screen.name;
        screen.identifier = identifierFor(key);
        screen.frame = output.frame;
        screen.visibleFrame = output.visibleFrame;
        screens.push_back(std::move(screen));
    }
    return screens;
}

std::vector<Screen> KWinScreens::screens() const {
    const auto state = m_channel.state();
    return state ? screensOf(*state) : std::vector<Screen>{};
}

std::optional<Screen> KWinScreens::mainScreen() const {
    const auto state = m_channel.state();
    if (!state)
        return std::nullopt;
    const std::vector<Screen> screens = screensOf(*state);
    if (screens.empty())
        return std::nullopt;
    if (const KWinState::Window* active = state->activeWindow()) {
        const Rect& frame = active->info.frame;
        const Point centre{frame.x + frame.width / 2, frame.y + frame.height / 2};
        for (const Screen& screen : screens) {
            if (screen.frame.contains(centre))
                return screen;
        }
    }
    return screens.front();
}

Point KWinScreens::mouseLocation() const {
    if (const auto result = m_channel.send({{"op", "state"}}, cursorTimeout))
        return result->state.cursor();
    const auto state = m_channel.state();
    return state ? state->cursor() : Point{};
}

} // namespace halvo
