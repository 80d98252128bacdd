// Enter and leave go to every widget the pointer newly is (or no longer is) inside, outermost
// first for enter and innermost first for leave, as QApplication does for windows of its own.
#include "platform/wayland/WidgetPointerForwarder.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <algorithm>
#include <vector>

namespace halvo {
namespace {

// `widget` and its ancestors up to `root`, innermost first.
std::vector<QWidget*> chain(QWidget* widget, QWidget* root) {
    std::vector<QWidget*> result;
    for (QWidget* w = widget; w; w = w == root ? nullptr : w->parentWidget())
        result.push_back(w);
    return result;
}

} // namespace

WidgetPointerForwarder::WidgetPointerForwarder(QWidget* root) : m_root(root) {}

QWidget* WidgetPointerForwarder::widgetAt(QPointF position) const {
    QWidget* child = m_root->childAt(position.toPoint());
    return child ? child : m_root;
}

void WidgetPointerForwarder::hover(QWidget* widget, QPointF position) {
    if (widget == m_hovered)
        return;
    const std::vector<QWidget*> before = chain(m_hovered, m_root);
    const std::vector<QWidget*> after = chain(widget, m_root);
    const auto contains = [](const std::vector<QWidget*>& list, QWidget* w) {
        return std::find(list.begin(), list.end(), w) != list.end();
    };
    for (QWidget* w : before) {
        if (contains(after, w))
            continue;
        w->setAttribute(Qt::WA_UnderMouse, false);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(w, &leave);
    }
    for (auto it = after.rbegin(); it != after.rend(); ++it) {
        if (contains(before, *it))
            continue;
        (*it)->setAttribute(Qt::WA_UnderMouse, true);
        const QPointF local = (*it)->mapFrom(m_root, position);
        QEnterEvent enter(local, position, position);
        QCoreApplication::sendEvent(*it, &enter);
    }
    m_hovered = widget;
}

void WidgetPointerForwarder::send(QWidget* target, QEvent::Type type, QPointF position,
                                  Qt::MouseButton button) {
    for (QWidget* w = target; w; w = w == m_root ? nullptr : w->parentWidget()) {
        // A move without a button reaches only widgets that track the mouse.
        if (type == QEvent::MouseMove && !m_buttons && !w->hasMouseTracking())
            continue;
        if (!w->isEnabled())
            continue;
        QMouseEvent event(type, w->mapFrom(m_root, position), position, position, button, m_buttons,
                          QGuiApplication::keyboardModifiers());
        QCoreApplication::sendEvent(w, &event);
        if (event.isAccepted()) {
            if (type == QEvent::MouseButtonPress && !m_grabber)
                m_grabber = w;
            return;
        }
    }
}

void WidgetPointerForwarder::enter(QPointF position) {
    // Wayland's enter carries the position, and may be all a still pointer sends for a while.
    move(position);
}

void WidgetPointerForwarder::leave() {
    if (!m_grabber)
        hover(nullptr, {});
}

void WidgetPointerForwarder::move(QPointF position) {
    if (m_grabber) {
        send(m_grabber, QEvent::MouseMove, position, Qt::NoButton);
        return;
    }
    QWidget* target = widgetAt(position);
    hover(target, position);
    send(target, QEvent::MouseMove, position, Qt::NoButton);
}

void WidgetPointerForwarder::press(QPointF position, Qt::MouseButton button) {
    if (button == Qt::NoButton)
        return;
    m_buttons |= button;
    send(m_grabber ? m_grabber.data() : widgetAt(position), QEvent::MouseButtonPress, position,
         button);
}

void WidgetPointerForwarder::release(QPointF position, Qt::MouseButton button) {
    if (!(m_buttons & button))
        return;
    m_buttons &= ~button;
    QWidget* target = m_grabber ? m_grabber.data() : widgetAt(position);
    if (!m_buttons)
        m_grabber = nullptr;
    send(target, QEvent::MouseButtonRelease, position, button);
    if (!m_buttons)
        hover(widgetAt(position), position);
}

} // namespace halvo
