// Keyboard monitors in GNOME Shell: the extension holds the keyboard (a modal grab) from a
// shortcut's first press until every modifier is up, and reports each modifier change and arrow
// release of that time as it happens.
#pragma once

#include "platform/EventMonitor.h"
#include "platform/MonitorSet.h"

namespace halvo {

class GnomeShellClient;

class GnomeEventMonitor final : public EventMonitor {
public:
    // Main thread; `shell` outlives the monitor.
    explicit GnomeEventMonitor(GnomeShellClient& shell);

    std::optional<MonitorToken> addMonitor(Handlers handlers) override;
    void removeMonitor(MonitorToken token) override;

    // A shortcut went down with `held`: the monitors hear of the modifiers before the press itself
    // is delivered.
    void shortcutPressed(Modifiers held);

private:
    MonitorSet m_monitors;
};

} // namespace halvo
