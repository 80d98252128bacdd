// The keyboard surface's life and the translation of its keyboard events.
#include "platform/sway/SwayEventMonitor.h"

#include "platform/HotkeyAction.h"

#include <QTimer>

namespace halvo {

SwayEventMonitor::SwayEventMonitor(WaylandConnection& connection) : m_connection(connection) {
    m_connection.setKeyboardHandler(
        [this](const WaylandConnection::KeyboardEvent& event) { keyboard(event); });
}

SwayEventMonitor::~SwayEventMonitor() {
    m_connection.setKeyboardHandler(nullptr);
}

std::optional<MonitorToken> SwayEventMonitor::addMonitor(Handlers handlers) {
    if (!m_connection.ok())
        return std::nullopt;
    return m_monitors.add(std::move(handlers));
}

void SwayEventMonitor::removeMonitor(MonitorToken token) {
    m_monitors.remove(token);
    if (m_monitors.size() == 0)
        giveBack();
}

bool SwayEventMonitor::hasKeyboardFocus() const {
    return m_surface && m_connection.keyboardFocus() == m_surface->surface();
}

void SwayEventMonitor::shortcutPressed(Modifiers held) {
    if (m_monitors.size() == 0 || held.isEmpty())
        return;
    if (held != m_held)
        deliverModifiers(held);
    if (m_surface)
        return;
    // Anchored to the focused output's corner, one transparent pixel: nothing to see.
    LayerPlacement corner;
    corner.width = 1;
    corner.height = 1;
    m_surface = std::make_unique<LayerSurface>(
        m_connection, corner, /*keyboardExclusive=*/true,
        [](QImage& image) { image.fill(Qt::transparent); }, "halvo-keyboard");
    m_hadFocus = false;
    // sway gives the keyboard to the oldest keyboard-exclusive layer surface: while another
    // client's (a launcher's) is up, this one never gets it and the modifiers stay unseen.
    const std::uint64_t hold = ++m_holds;
    QTimer::singleShot(focusTimeout, this, [this, hold] {
        if (!m_surface || hold != m_holds || m_hadFocus)
            return;
        if (!m_held.isEmpty())
            deliverModifiers(Modifiers());
        giveBack();
    });
}

void SwayEventMonitor::keyboard(const WaylandConnection::KeyboardEvent& event) {
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
            deliverModifiers(event.modifiers);
        if (event.modifiers.isEmpty())
            giveBack();
        return;
    case Kind::key:
        // The seam reports the four arrows only.
        if (m_surface && !event.pressed && hotkeyActionForKey(event.key))
            m_monitors.deliverKeyReleased(event.key);
        return;
    }
}

// When the focus went to another surface of this connection (the overlay's) the events keep
// coming; when it went elsewhere, the modifiers can no longer be seen and count as released. The
// enter that follows a move between this connection's surfaces comes in the same read, so the
// check waits until it has been handled.
void SwayEventMonitor::focusLeft() {
    if (!m_surface)
        return;
    QTimer::singleShot(0, this, [this] {
        if (!m_surface || m_connection.keyboardFocus())
            return;
        if (!m_held.isEmpty())
            deliverModifiers(Modifiers());
        giveBack();
    });
}

// Without the surface no modifier is seen: the next shortcut reports its own afresh.
void SwayEventMonitor::giveBack() {
    m_surface.reset();
    m_held = Modifiers();
}

// What was last reported is kept, so that only changes are delivered.
void SwayEventMonitor::deliverModifiers(Modifiers held) {
    m_held = held;
    m_monitors.deliverModifiers(held);
}

} // namespace halvo
