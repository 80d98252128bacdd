// A widget tree that Qt shows nowhere, for a surface Qt cannot make (a layer surface, a shell's
// own actor): the compositor's side only hands the pixels over. Qt's update machinery runs for
// the view while it is shown, each change is reported as damage, the view paints only into the
// images it is asked to render (at their device pixel ratio, so at the output's scale), and the
// pointer events of the surface reach its widgets as Qt would deliver them.
#pragma once

#include "platform/wayland/PointerEvent.h"
#include "platform/wayland/WidgetPointerForwarder.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>

namespace halvo {

class OffscreenView final : public QObject {
    Q_OBJECT
public:
    // Hosts `content` (and owns it from now on) in a top-level widget that is never on screen.
    explicit OffscreenView(std::unique_ptr<QWidget> content);
    ~OffscreenView() override;

    QWidget* content() const { return m_content; }
    void resize(QSize size);
    QSize size() const;
    // Damage is reported only while the view is shown.
    void show();
    void hide();

    // `handler` runs whenever any part of the view changed and wants a new frame.
    void onDamage(std::function<void()> handler) { m_damaged = std::move(handler); }
    // Paints the whole view into `image`, at the image's device pixel ratio.
    void render(QImage& image);
    // Delivers one pointer event of the surface to the widget it is for.
    void deliver(const PointerEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<QWidget> m_host;
    QWidget* m_content = nullptr;
    WidgetPointerForwarder m_forwarder;
    std::function<void()> m_damaged;
    bool m_rendering = false; // painting a frame
};

} // namespace halvo
