// Pointer events from a Wayland surface, delivered to a tree of widgets that has no window of its
// own as Qt would deliver them: to the widget under the pointer (or the one a pressed button
// grabbed), moves only to widgets that track the mouse, unaccepted events to the parent, and
// enter and leave as the pointer crosses widgets.
#pragma once

#include <QEvent>
#include <QPointF>
#include <QPointer>
#include <QWidget>

namespace halvo {

class WidgetPointerForwarder {
public:
    // Positions are in `root`'s coordinates (the surface's, as the root fills it).
    explicit WidgetPointerForwarder(QWidget* root);

    void enter(QPointF position);
    void leave();
    void move(QPointF position);
    void press(QPointF position, Qt::MouseButton button);
    void release(QPointF position, Qt::MouseButton button);

private:
    QWidget* widgetAt(QPointF position) const;
    void hover(QWidget* widget, QPointF position);
    void send(QWidget* target, QEvent::Type type, QPointF position, Qt::MouseButton button);

    QWidget* m_root;
    QPointer<QWidget> m_hovered;
    QPointer<QWidget> m_grabber; // the widget that took the press, while a button is down
    Qt::MouseButtons m_buttons;
};

} // namespace halvo
