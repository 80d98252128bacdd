// The hosting widget is "shown" with Qt::WA_DontShowOnScreen: Qt then runs its update machinery
// for the view (an UpdateRequest reaches the host whenever any part of it changed) without ever
// giving it a surface. Each such request asks the layer surface for a frame, painted by
// QWidget::render. Qt still paints the host into a backing store of its own, which nothing
// shows: the content's paint events are dropped there, so that it paints only into frames.
#include "platform/sway/SwayOverlayPanel.h"

#include <QEvent>
#include <QPainter>
#include <QScopedValueRollback>

namespace halvo {

SwayOverlayPanel::SwayOverlayPanel(WaylandConnection& connection, const Screens& screens,
                                   std::unique_ptr<QWidget> content, InputRegion inputRegion)
    : m_connection(connection), m_screens(screens),
      m_host(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint)),
      m_content(content.release()), m_forwarder(m_host.get()),
      m_inputRegion(std::move(inputRegion)) {
    m_host->setAttribute(Qt::WA_DontShowOnScreen);
    m_host->setAttribute(Qt::WA_TranslucentBackground);
    m_host->setWindowTitle(QStringLiteral("Halvo overlay"));
    m_content->setParent(m_host.get());
    m_content->move(0, 0);
    m_content->show();
    m_host->installEventFilter(this);
    m_content->installEventFilter(this);
    m_host->resize(static_cast<int>(m_frame.width), static_cast<int>(m_frame.height));
    m_content->resize(m_host->size());
}

SwayOverlayPanel::~SwayOverlayPanel() {
    m_surface.reset();
    m_host->removeEventFilter(this);
    m_content->removeEventFilter(this);
}

void SwayOverlayPanel::setFrame(Rect frame) {
    m_frame = frame;
    m_placement = LayerPlacement::forFrame(frame, m_screens.screens());
    const QSize size(m_placement ? m_placement->width : static_cast<int>(frame.width),
                     m_placement ? m_placement->height : static_cast<int>(frame.height));
    m_host->resize(size);
    m_content->resize(size);
    if (!m_surface)
        return;
    // A layer surface stays on the output it was made for.
    if (!m_placement || m_placement->outputName != m_surface->placement().outputName) {
        createSurface();
        return;
    }
    m_surface->place(*m_placement);
}

void SwayOverlayPanel::orderFront() {
    if (m_surface && !m_surface->isClosed())
        return;
    m_host->show();
    createSurface();
}

void SwayOverlayPanel::orderOut() {
    m_surface.reset();
    m_host->hide();
}

void SwayOverlayPanel::setAppearance(Theme) {
    // The view reads the theme from the overlay's model; the panel only repaints it.
    m_content->update();
}

void SwayOverlayPanel::createSurface() {
    m_surface.reset();
    if (!m_connection.ok())
        return;
    // Without a screen under the frame the compositor picks the output (its focused one).
    const LayerPlacement placement =
        m_placement.value_or(LayerPlacement{{}, m_host->width(), m_host->height(), 0, 0});
    m_surface = std::make_unique<LayerSurface>(m_connection, placement, /*keyboardExclusive=*/false,
                                               [this](QImage& image) { paint(image); });
    m_connection.setPointerHandler(
        m_surface->surface(),
        [this](const WaylandConnection::PointerEvent& event) { pointer(event); });
}

void SwayOverlayPanel::paint(QImage& image) {
    // The shadow and the rounded corners' transparent margins let clicks through to the windows
    // below; the region goes with the frame it belongs to.
    if (m_inputRegion)
        m_surface->setInputRegion(m_inputRegion());
    const QScopedValueRollback rendering(m_rendering, true);
    m_content->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
}

bool SwayOverlayPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_host.get() && event->type() == QEvent::UpdateRequest && m_surface)
        m_surface->update();
    // Painting the backing store cost as much as painting the frame (50 tiles, about 3 ms).
    return watched == m_content && event->type() == QEvent::Paint && !m_rendering;
}

void SwayOverlayPanel::pointer(const WaylandConnection::PointerEvent& event) {
    using Kind = WaylandConnection::PointerEvent::Kind;
    switch (event.kind) {
    case Kind::enter:
        m_forwarder.enter(event.position);
        break;
    case Kind::leave:
        m_forwarder.leave();
        break;
    case Kind::motion:
        m_forwarder.move(event.position);
        break;
    case Kind::press:
        m_forwarder.press(event.position, event.button);
        break;
    case Kind::release:
        m_forwarder.release(event.position, event.button);
        break;
    }
}

} // namespace halvo
