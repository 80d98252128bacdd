// Keyboard monitors on sway. A Wayland client sees keys only while one of its surfaces has the
// keyboard, so from the moment a shortcut goes down until its modifiers are all up the monitor
// holds the keyboard with a surface of its own: a transparent 1×1 layer surface on the overlay
// layer with exclusive keyboard interactivity, apart from the overlay so that the modifiers are
// followed whether the overlay is shown or not. It gives the keyboard back (to the window that
// had it) as soon as no modifier is held. sway runs its bindings before any client sees a key,
// so the shortcut's arrows keep arriving as bindings meanwhile. When the surface loses the
// keyboard to another client, or never gets it, the modifiers can no longer be seen and count as
// released.
#pragma once

#include "platform/EventMonitor.h"
#include "platform/MonitorSet.h"
#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/WaylandConnection.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <memory>

namespace halvo {

class SwayEventMonitor final : public QObject, public EventMonitor {
    Q_OBJECT
public:
    // How long the keyboard surface waits for the keyboard before the modifiers count as
    // released; sway gives it within milliseconds unless another surface keeps it.
    static constexpr std::chrono::milliseconds focusTimeout{1000};

    explicit SwayEventMonitor(WaylandConnection& connection);
    ~SwayEventMonitor() override;

    // Nothing when the connection has no layer shell to hold the keyboard with.
    std::optional<MonitorToken> addMonitor(Handlers handlers) override;
    void removeMonitor(MonitorToken token) override;

    // A shortcut went down with `held`: reports them at once, so that monitors know the
    // combination is down before the press itself is delivered, and holds the keyboard until
    // every modifier is released. Nothing while no monitor is added.
    void shortcutPressed(Modifiers held);

    // Whether the keyboard surface exists, and whether it has the keyboard now.
    bool holdsKeyboard() const { return m_surface != nullptr; }
    bool hasKeyboardFocus() const;

private:
    void keyboard(const WaylandConnection::KeyboardEvent& event);
    void focusLeft();
    void giveBack();
    void deliverModifiers(Modifiers held);

    WaylandConnection& m_connection;
    std::unique_ptr<LayerSurface> m_surface;
    Modifiers m_held;          // as last reported
    bool m_hadFocus = false;   // whether the surface has had the keyboard yet
    std::uint64_t m_holds = 0; // counts the surfaces made, so that a timeout finds its own
    MonitorSet m_monitors;
};

} // namespace halvo
