// Keyboard monitors where a layer surface can hold the keyboard (sway, KWin): the modifiers and
// arrow releases a KeyboardHold sees from the moment a shortcut's binding reports its press until
// its modifiers are all up. The compositor runs its shortcuts before any client sees a key, so the
// shortcut's arrows keep arriving meanwhile.
#pragma once

#include "platform/EventMonitor.h"
#include "platform/MonitorSet.h"
#include "platform/wayland/KeyboardHold.h"
#include "platform/wayland/WaylandConnection.h"

#include <QObject>
#include <chrono>
#include <memory>

namespace halvo {

class LayerKeyboardMonitor final : public QObject, public EventMonitor {
    Q_OBJECT
public:
    // How long the keyboard surface waits for the keyboard before the modifiers count as
    // released; the compositor gives it within milliseconds unless another surface keeps it.
    static constexpr std::chrono::milliseconds focusTimeout = KeyboardHold::focusTimeout;

    explicit LayerKeyboardMonitor(
        WaylandConnection& connection,
        KeyboardHold::LostKeyboard lostKeyboard = KeyboardHold::LostKeyboard::release);

    // Nothing when the connection has no layer shell to hold the keyboard with.
    std::optional<MonitorToken> addMonitor(Handlers handlers) override;
    void removeMonitor(MonitorToken token) override;

    // A shortcut went down with `held`: reports them at once, so that monitors know the
    // combination is down before the press itself is delivered, and holds the keyboard until
    // every modifier is released. Nothing while no monitor is added.
    void shortcutPressed(Modifiers held);

    // Whether the keyboard surface exists, and whether it has the keyboard now.
    bool holdsKeyboard() const { return m_hold.holdsKeyboard(); }
    bool hasKeyboardFocus() const { return m_hold.hasKeyboardFocus(); }

private:
    WaylandConnection& m_connection;
    MonitorSet m_monitors;
    KeyboardHold m_hold;
};

} // namespace halvo
