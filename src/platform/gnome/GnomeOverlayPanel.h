// The overlay's panel in GNOME Shell: the frames of an off-screen view (OffscreenView: the hosted
// view's own paint code, its damage and its pointer events) shown by Halvo's extension in the
// shell's top chrome, which takes no focus and no place in the overview; the pointer events the
// shell reports over it go back to the view.
#pragma once

#include "platform/Panel.h"
#include "platform/wayland/OffscreenView.h"

#include <QTimer>
#include <memory>

class QWidget;

namespace halvo {

class GnomeShellClient;

class GnomeOverlayPanel final : public Panel {
public:
    // Hosts `content` (and owns it from now on); `shell` outlives the panel.
    GnomeOverlayPanel(GnomeShellClient& shell, std::unique_ptr<QWidget> content);
    ~GnomeOverlayPanel() override;

    void setFrame(Rect frame) override;
    Rect frame() const override { return m_frame; }
    void orderFront() override;
    void orderOut() override;
    void setAppearance(Theme theme) override;

    QWidget* content() const { return m_view.content(); }

private:
    // Renders the view and hands the pixels to the shell.
    void send();

    GnomeShellClient& m_shell;
    OffscreenView m_view;
    Rect m_frame{0, 0, 480, 148};
    bool m_shown = false;
    QTimer m_pendingFrame; // one frame for the damage of one turn of the event loop
    QObject m_context;     // ends the connections to the shell's signals with the panel
};

} // namespace halvo
