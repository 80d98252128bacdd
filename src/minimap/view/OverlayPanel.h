// The overlay's window on X11: frameless, unmanaged (override-redirect), never focused, above
// everything; translucent under a compositor, otherwise masked to the overlay's shape over a
// blurred capture of what lies behind it.
#pragma once

#include "minimap/MinimapPanelController.h"
#include "platform/Panel.h"

#include <QImage>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>

namespace halvo {

class DesktopSettingsMonitor;
class MinimapOverlayView;
class RootPixels;

class OverlayPanel final : public QWidget, public Panel {
    Q_OBJECT
public:
    // The root window's current size, as the program's own connection keeps it: the size in a
    // connection's setup data is the one at connection time, stale once RandR grows the screen.
    using RootSize = std::function<QSize()>;

    // Without `rootSize` each backdrop capture asks the server for the root's size.
    OverlayPanel(MinimapModel& model, MinimapActions actions, RootSize rootSize = {});
    ~OverlayPanel() override;

    // Builds OverlayPanels for a MinimapPanelController.
    static MinimapPanelController::PanelFactory factory(RootSize rootSize = {});

    void setFrame(Rect frame) override;
    Rect frame() const override { return m_frame; }
    void orderFront() override;
    void orderOut() override;
    void setAppearance(Theme theme) override;

    MinimapOverlayView* view() const { return m_view; }
    bool isComposited() const { return m_composited; }
    // The panel's place in X root coordinates (y down from the top of the root window).
    QRect rootGeometry() const { return m_rootGeometry; }

    // Whether a compositing manager owns _NET_WM_CM_S<screen> on the application's display.
    static bool compositorRunning();
    // The root window's pixels in `area` (root coordinates), blurred; null when unavailable.
    // `reuse`, when it is an unshared image of the area's size, is painted over.
    QImage captureBlurredBackdrop(QRect area, QImage reuse = {});

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMask();
    void refreshBackdrop();
    void map();
    void unmap();

    RootSize m_rootSize;
    DesktopSettingsMonitor* m_desktopSettings = nullptr;
    MinimapOverlayView* m_view = nullptr;
    Rect m_frame{0, 0, 480, 148};
    bool m_placed = false; // setFrame has run at least once
    QRect m_rootGeometry{0, 0, 480, 148};
    bool m_composited = false;
    bool m_mapped = false; // by this panel: Qt takes the window as shown from the first show on
    QImage m_backdrop;     // shared with the view
    std::unique_ptr<RootPixels> m_rootPixels; // on Qt's connection, made at the first capture
};

} // namespace halvo
