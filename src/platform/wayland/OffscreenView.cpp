// The hosting widget is "shown" with Qt::WA_DontShowOnScreen: Qt then runs its update machinery
// for the view (an UpdateRequest reaches the host whenever any part of it changed) without ever
// giving it a surface. Each such request is damage, and the frame it asks for is painted by
// QWidget::render. Qt still paints the host into a backing store of its own, which nothing
// shows: the content's paint events are dropped there, so that it paints only into frames.
#include "platform/wayland/OffscreenView.h"

#include <QEvent>
#include <QScopedValueRollback>

namespace halvo {

OffscreenView::OffscreenView(std::unique_ptr<QWidget> content)
    : m_host(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint)),
      m_content(content.release()), m_forwarder(m_host.get()) {
    m_host->setAttribute(Qt::WA_DontShowOnScreen);
    m_host->setAttribute(Qt::WA_TranslucentBackground);
    m_host->setWindowTitle(QStringLiteral("Halvo overlay"));
    m_content->setParent(m_host.get());
    m_content->move(0, 0);
    m_content->show();
    m_host->installEventFilter(this);
    m_content->installEventFilter(this);
}

OffscreenView::~OffscreenView() {
    m_host->removeEventFilter(this);
    m_content->removeEventFilter(this);
}

void OffscreenView::resize(QSize size) {
    m_host->resize(size);
    m_content->resize(size);
}

QSize OffscreenView::size() const {
    return m_host->size();
}

void OffscreenView::show() {
    m_host->show();
}

void OffscreenView::hide() {
    m_host->hide();
}

void OffscreenView::render(QImage& image) {
    const QScopedValueRollback rendering(m_rendering, true);
    m_content->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
}

void OffscreenView::deliver(const PointerEvent& event) {
    using Kind = PointerEvent::Kind;
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

bool OffscreenView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_host.get() && event->type() == QEvent::UpdateRequest && m_damaged)
        m_damaged();
    // Painting the backing store cost as much as painting the frame (50 tiles, about 3 ms).
    return watched == m_content && event->type() == QEvent::Paint && !m_rendering;
}

} // namespace halvo
