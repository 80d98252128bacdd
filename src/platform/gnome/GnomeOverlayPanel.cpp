// The view's damage is collected into one frame per turn of the event loop, sent to the shell.
#include "platform/gnome/GnomeOverlayPanel.h"

#include "platform/gnome/GnomeShellClient.h"
#include "platform/wayland/PointerEvent.h"

#include <QWidget>

namespace halvo {
namespace {

std::optional<PointerEvent> pointerEventOf(uint kind, double x, double y, uint button) {
    static constexpr PointerEvent::Kind kinds[] = {
        PointerEvent::Kind::enter, PointerEvent::Kind::leave, PointerEvent::Kind::motion,
        PointerEvent::Kind::press, PointerEvent::Kind::release};
    if (kind >= std::size(kinds))
        return std::nullopt;
    PointerEvent event;
    event.kind = kinds[kind];
    event.position = QPointF(x, y);
    event.button = button == 1   ? Qt::LeftButton
                   : button == 2 ? Qt::MiddleButton
                   : button == 3 ? Qt::RightButton
                                 : Qt::NoButton;
    return event;
}

} // namespace

GnomeOverlayPanel::GnomeOverlayPanel(GnomeShellClient& shell, std::unique_ptr<QWidget> content)
    : m_shell(shell), m_view(std::move(content)) {
    m_view.resize(QSize(static_cast<int>(m_frame.width), static_cast<int>(m_frame.height)));
    m_pendingFrame.setSingleShot(true);
    m_pendingFrame.setInterval(0);
    m_pendingFrame.callOnTimeout([this] { send(); });
    m_view.onDamage([this] {
        if (m_shown)
            m_pendingFrame.start();
    });
    QObject::connect(&shell, &GnomeShellClient::overlayPointer, &m_context,
                     [this](uint kind, double x, double y, uint button) {
                         if (!m_shown)
                             return;
                         if (const auto event = pointerEventOf(kind, x, y, button))
                             m_view.deliver(*event);
                     });
}

GnomeOverlayPanel::~GnomeOverlayPanel() {
    if (m_shown)
        m_shell.hideOverlay();
}

void GnomeOverlayPanel::setFrame(Rect frame) {
    m_frame = frame;
    m_view.resize(QSize(static_cast<int>(frame.width), static_cast<int>(frame.height)));
    if (m_shown)
        m_pendingFrame.start();
}

void GnomeOverlayPanel::orderFront() {
    if (m_shown)
        return;
    m_shown = true;
    m_view.show();
    // At once, not a turn later: the first frame is the one the user waits for.
    send();
}

void GnomeOverlayPanel::orderOut() {
    if (!m_shown)
        return;
    m_shown = false;
    m_pendingFrame.stop();
    m_view.hide();
    m_shell.hideOverlay();
}

void GnomeOverlayPanel::setAppearance(Theme) {
    // The view reads the theme from the overlay's model; the panel only repaints it.
    m_view.content()->update();
}

void GnomeOverlayPanel::send() {
    m_pendingFrame.stop();
    const QSize size = m_view.size();
    if (size.isEmpty())
        return;
    // The shell's monitors are drawn at scale 1 here; a scaled monitor shows these pixels
    // stretched.
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(Qt::transparent);
    m_view.render(image);
    m_shell.showOverlay(m_frame, image);
}

} // namespace halvo
