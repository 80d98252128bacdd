// Holds the keyboard while a shortcut's modifiers are down, so that a Wayland client sees them:
// a client sees keys only while one of its surfaces has the keyboard, so from hold() until the
// modifiers are all up a transparent 1×1 layer surface on the overlay layer with exclusive
// keyboard interactivity has it, apart from the overlay so that the modifiers are followed
// whether the overlay is shown or not. It gives the keyboard back (to the window that had it) as
// soon as no modifier is held. When the surface loses the keyboard to another client, or never
// gets it, the modifiers can no longer be seen and count as released; when it goes with its
// output, another surface takes its place. Any compositor with the
// wlr layer shell (sway, KWin) runs its own shortcuts before a client sees a key, so the
// shortcut's arrows keep arriving through them meanwhile.
#pragma once

#include "platform/Key.h"
#include "platform/Modifiers.h"
#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/WaylandConnection.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace halvo {

class KeyboardHold final : public QObject {
    Q_OBJECT
public:
    // How long the surface waits for the keyboard before the modifiers count as released; the
    // compositor gives it within milliseconds unless another surface keeps it.
    static constexpr std::chrono::milliseconds focusTimeout{1000};

    struct Handlers {
        std::function<void(Modifiers held)> modifiersChanged; // only changes are told
        std::function<void(Key key)> keyReleased;             // while the keyboard is held
    };
    // What a loss of the keyboard to another client means. On sway the user gave it away (the
    // modifiers count as released); KWin takes it from the surface whenever a window is
    // activated, the switch's own activations included, so there a new surface takes it back and
    // the modifiers it is given say whether the switch goes on.
    enum class LostKeyboard { release, takeBack };
    KeyboardHold(WaylandConnection& connection, Handlers handlers,
                 LostKeyboard lostKeyboard = LostKeyboard::release);
    ~KeyboardHold() override;

    // A shortcut went down with `held`: tells them at once when they differ from what was told
    // last, and holds the keyboard (unless it already does) until every modifier is released.
    void hold(Modifiers held);
    // Gives the keyboard back now; the next hold tells its modifiers afresh.
    void release();

    // Whether the surface exists, and whether it has the keyboard now.
    bool holdsKeyboard() const { return m_surface != nullptr; }
    bool hasKeyboardFocus() const;

private:
    void holdOnFocusedOutput();
    void keyboard(const WaylandConnection::KeyboardEvent& event);
    void focusLeft();
    void tell(Modifiers held);

    WaylandConnection& m_connection;
    Handlers m_handlers;
    LostKeyboard m_lostKeyboard;
    std::unique_ptr<LayerSurface> m_surface;
    Modifiers m_held;        // as last told
    bool m_hadFocus = false; // whether the surface has had the keyboard yet
    // WaylandConnection::outputsRemoved() when the surface was made.
    std::uint64_t m_outputsRemovedBefore = 0;
    std::uint64_t m_holds = 0; // counts the surfaces made, so that a timeout finds its own
};

} // namespace halvo
