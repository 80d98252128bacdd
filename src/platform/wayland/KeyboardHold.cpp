// The keyboard surface's life and what its keyboard events say.
#include "platform/wayland/KeyboardHold.h"

#include "platform/linux/LatencyTrace.h"

#include <QTimer>

namespace halvo {

KeyboardHold::KeyboardHold(WaylandConnection& connection, Handlers handlers,
                           LostKeyboard lostKeyboard)
    : m_connection(connection), m_handlers(std::move(handlers)), m_lostKeyboard(lostKeyboard) {
    m_connection.setKeyboardHandler(
        [this](const WaylandConnection::KeyboardEvent& event) { keyboard(event); });
}

KeyboardHold::~KeyboardHold() {
    m_connection.setKeyboardHandler(nullptr);
}

bool KeyboardHold::hasKeyboardFocus() const {
    return m_surface && m_connection.keyboardFocus() == m_surface->surface();
}

void KeyboardHold::hold(Modifiers held) {
    if (held != m_held)
        tell(held);
    if (!m_surface)
        holdOnFocusedOutput();
}

// One transparent pixel anchored to the focused output's corner: nothing to see.
void KeyboardHold::holdOnFocusedOutput() {
    LayerPlacement corner;
    corner.width = 1;
    corner.height = 1;
    m_surface = std::make_unique<LayerSurface>(
        m_connection, corner, /*keyboardExclusive=*/true,
        [](QImage& image) { image.fill(Qt::transparent); }, "halvo-keyboard");
    m_hadFocus = false;
    m_outputsRemovedBefore = m_connection.outputsRemoved();
    // sway gives the keyboard to the oldest keyboard-exclusive layer surface: while another
    // client's (a launcher's) is up, this one never gets it and the modifiers stay unseen.
    const std::uint64_t hold = ++m_holds;
    QTimer::singleShot(focusTimeout, this, [this, hold] {
        // A loop busy for longer than the timeout (a flood of other events) may get here before
        // it reads the keyboard's enter that came in time.
        m_connection.dispatch();
        if (!m_surface || hold != m_holds || m_hadFocus)
            return;
        LatencyTrace::mark("halvo-keyboard", "not-given");
        if (!m_held.isEmpty())
            tell(Modifiers());
        release();
    });
}

void KeyboardHold::keyboard(const WaylandConnection::KeyboardEvent& event) {
    using Kind = WaylandConnection::KeyboardEvent::Kind;
    switch (event.kind) {
    case Kind::enter:
        m_hadFocus = m_hadFocus || hasKeyboardFocus();
        return; // the modifiers follow
    case Kind::leave:
        focusLeft();
        return;
    case Kind::modifiers:
        if (!m_surface)
            return; // another surface of this connection has the keyboard
        if (event.modifiers != m_held)
            tell(event.modifiers);
        if (event.modifiers.isEmpty())
            release();
        return;
    case Kind::key:
        if (m_surface && !event.pressed)
            m_handlers.keyReleased(event.key);
        return;
    }
}

// When the focus went to another surface of this connection (the overlay's) the events keep
// coming; when it went elsewhere, the modifiers can no longer be seen and count as released. The
// enter that follows a move between this connection's surfaces comes in the same read, so the
// check waits until it has been handled. When an output went away since the surface was made,
// the keyboard may have gone with it (sway takes it from the surfaces of an output it turns off,
// without closing them) while the modifiers are still down: a new surface on the output that
// has the focus now takes it back, and its modifiers say whether the switch goes on.
void KeyboardHold::focusLeft() {
    if (!m_surface)
        return;
    // Several leaves in one read (sway moves the focus through the overlay's surface as it turns
    // an output off) ask once for the surface they left, not again for its successor.
    QTimer::singleShot(0, this, [this, hold = m_holds] {
        if (!m_surface || hold != m_holds || m_connection.keyboardFocus())
            return;
        if (m_lostKeyboard == LostKeyboard::takeBack || m_surface->isClosed() ||
            m_connection.outputsRemoved() != m_outputsRemovedBefore) {
            m_surface.reset();
            holdOnFocusedOutput();
            return;
        }
        if (!m_held.isEmpty())
            tell(Modifiers());
        release();
    });
}

// Without the surface no modifier is seen: the next hold tells its own afresh.
void KeyboardHold::release() {
    m_surface.reset();
    m_held = Modifiers();
}

// What was last told is kept, so that only changes are told.
void KeyboardHold::tell(Modifiers held) {
    m_held = held;
    m_handlers.modifiersChanged(held);
}

} // namespace halvo
