// The outputs in a KWin session, as the script reports them: the whole output and its work area
// (KWin's maximise area: the output less the panels). KWin 5.27 gives scripts no output names, so
// each is named after the output of Halvo's own Wayland connection with the same logical
// rectangle: the name the layer surfaces are placed by.
#pragma once

#include "platform/Screens.h"
#include "platform/kwin/KWinScriptChannel.h"

#include <map>
#include <mutex>

namespace halvo {

class WaylandConnection;

class KWinScreens final : public Screens {
public:
    // Both must outlive the screens; main thread for `connection`'s names.
    KWinScreens(KWinScriptChannel& channel, const WaylandConnection& connection);

    // KWin's order: its first output first.
    std::vector<Screen> screens() const override;
    // The screen holding the active window's centre, else the first.
    std::optional<Screen> mainScreen() const override;
    // Asked of KWin at the time of the call.
    Point mouseLocation() const override;

private:
    std::vector<Screen> screensOf(const KWinState& state) const;
    std::uint64_t identifierFor(const std::string& name) const;

    KWinScriptChannel& m_channel;
    const WaylandConnection& m_connection;
    mutable std::mutex m_mutex;
    mutable std::map<std::string, std::uint64_t> m_identifiers;
};

} // namespace halvo
