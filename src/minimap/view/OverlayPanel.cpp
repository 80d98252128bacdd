// The overlay's X11 window: placement in root coordinates, mapping without focus, backdrop.
#include "minimap/view/OverlayPanel.h"

#include "minimap/view/DesktopSettingsMonitor.h"
#include "minimap/view/MinimapOverlayView.h"
#include "minimap/view/RootPixels.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <pixman.h>
#include <string>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace halvo {
namespace {

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The root window's size as the server has it now (one round trip).
QSize currentRootSize(xcb_connection_t* connection) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr);
    if (!geometry)
        return {};
    const QSize size(geometry->width, geometry->height);
    free(geometry);
    return size;
}

// `image` shrunk by `factor` with Qt's smooth (area-averaging) scaler, in vertical strips each a
// whole number of blocks wide and under 128K pixels: from that size on the scaler hands the work
// to Qt's thread pool and waits for it, and on a busy machine waiting for a pool thread to be
// scheduled costs more than the work.
QImage shrunk(const QImage& image, int factor) {
    constexpr int threadedFrom = 1 << 17;
    const int height = std::max(1, image.height() / factor);
    const int blocksPerStrip = std::max(1, (threadedFrom - 1) / image.height() / factor);
    std::vector<QImage> strips;
    int width = 0;
    for (int x = 0; x < image.width(); x += blocksPerStrip * factor) {
        const int stripWidth = std::min(blocksPerStrip * factor, image.width() - x);
        // A view of the strip's pixels, not a copy.
        const QImage strip(image.constBits() + std::size_t(x) * 4, stripWidth, image.height(),
                           image.bytesPerLine(), image.format());
        strips.push_back(strip.scaled(std::max(1, stripWidth / factor), height,
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        width += strips.back().width();
    }
    QImage result(width, height, QImage::Format_RGB32);
    QPainter painter(&result);
    int x = 0;
    for (const QImage& strip : strips) {
        painter.drawImage(x, 0, strip);
        x += strip.width();
    }
    return result;
}

// `source` grown (or shrunk) to fill `target`, bilinear, by pixman: its SIMD paths do this about
// three times as fast as QPainter's smooth transform at the overlay's sizes (0.07 against 0.21 ms
// for a 408 x 148 panel), and the blur's growing back is on the way to every show.
void scaleBilinear(const QImage& source, QImage& target) {
    const auto wrap = [](const QImage& image, const uchar* bits) {
        return pixman_image_create_bits(
            PIXMAN_x8r8g8b8, image.width(), image.height(),
            const_cast<std::uint32_t*>(reinterpret_cast<const std::uint32_t*>(bits)),
            static_cast<int>(image.bytesPerLine()));
    };
    pixman_image_t* from = wrap(source, source.constBits());
    pixman_image_t* to = wrap(target, target.bits());
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale,
                                pixman_double_to_fixed(double(source.width()) / target.width()),
                                pixman_double_to_fixed(double(source.height()) / target.height()));
    pixman_image_set_transform(from, &scale);
    pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
    pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, target.width(),
                             target.height());
    pixman_image_unref(from);
    pixman_image_unref(to);
}

// A cheap, smooth blur: shrink by `factor` (block averages), soften the small image a little
// more, and grow it back with bilinear filtering. Growing back with the smooth scaler, twice,
// took four times as long at the overlay's sizes.
QImage blurred(const QImage& source, int factor, QImage reuse) {
    if (source.isNull())
        return source;
    const QImage image =
        source.depth() == 32 ? source : source.convertToFormat(QImage::Format_RGB32);
    const QImage small = shrunk(image, factor);
    const QSize smaller(std::max(1, small.width() * 2 / 3), std::max(1, small.height() * 2 / 3));
    const QImage tiny = small.scaled(smaller, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB32);
    // Painting over an unshared image of the right size saves a fresh mapping of its memory and
    // the page faults of touching it at every show.
    QImage result = reuse.size() == image.size() && reuse.format() == QImage::Format_RGB32
                        ? std::move(reuse)
                        : QImage(image.size(), QImage::Format_RGB32);
    scaleBilinear(tiny, result);
    return result;
}

} // namespace

OverlayPanel::OverlayPanel(MinimapModel& model, MinimapActions actions, RootSize rootSize)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      m_rootSize(std::move(rootSize)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    m_composited = compositorRunning();
    if (m_composited)
        setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Halvo overlay"));
    m_desktopSettings = new DesktopSettingsMonitor(this);
    m_view = new MinimapOverlayView(model, std::move(actions), m_desktopSettings->current(), this);
    connect(m_desktopSettings, &DesktopSettingsMonitor::changed, this,
            [this] { m_view->setMotion(m_desktopSettings->current()); });
    m_view->setGeometry(0, 0, 480, 148);
    connect(m_view, &MinimapOverlayView::surfaceChanged, this, [this] { updateMask(); });
    setGeometry(m_rootGeometry);
    // Create the native window now, so the first show only maps it.
    winId();
}

OverlayPanel::~OverlayPanel() = default;

MinimapPanelController::PanelFactory OverlayPanel::factory(RootSize rootSize) {
    return [rootSize](MinimapModel& model, MinimapActions actions) -> std::unique_ptr<Panel> {
        return std::make_unique<OverlayPanel>(model, std::move(actions), rootSize);
    };
}

void OverlayPanel::setFrame(Rect frame) {
    // Every change of the model frames the panel again; an unchanged frame needs no new backdrop
    // capture.
    if (m_placed && frame == m_frame)
        return;
    m_placed = true;
    m_frame = frame;
    // On X11 the layout coordinates are the root window's, in its pixels.
    m_rootGeometry = QRect(
        static_cast<int>(std::lround(frame.x)), static_cast<int>(std::lround(frame.y)),
        static_cast<int>(std::lround(frame.width)), static_cast<int>(std::lround(frame.height)));
    setGeometry(m_rootGeometry);
    if (m_mapped && !m_composited)
        refreshBackdrop();
}

void OverlayPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
    updateMask();
}

void OverlayPanel::updateMask() {
    if (m_composited)
        return;
    setMask(m_view->surfaceRegion());
}

void OverlayPanel::orderFront() {
    if (!m_mapped) {
        // The capture must happen while the panel is unmapped, or it would see itself.
        if (!m_composited)
            refreshBackdrop();
        updateMask();
        map();
        return;
    }
    raise();
}

void OverlayPanel::orderOut() {
    unmap();
}

// Qt shows the window once, which sets up its properties; after that the panel maps and unmaps
// the window itself. Qt's hide() also sends the synthetic UnmapNotify that withdraws a managed
// window (ICCCM 4.1.4), and a window manager that reads it late (herbstluftwm does, for override-
// redirect windows too) unmaps the window again after the next show: the overlay would vanish
// while the combination is held. Qt's show() also waits on the server (its WM_HINTS read, a
// closing sync) where a map needs no answer.
void OverlayPanel::map() {
    m_mapped = true;
    xcb_connection_t* connection = qtConnection();
    if (!connection || !isVisible()) {
        show();
        raise();
        return;
    }
    const auto window = static_cast<xcb_window_t>(winId());
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_map_window(connection, window);
    xcb_flush(connection);
}

void OverlayPanel::unmap() {
    if (!m_mapped)
        return;
    m_mapped = false;
    xcb_connection_t* connection = qtConnection();
    if (!connection) {
        hide();
        return;
    }
    xcb_unmap_window(connection, static_cast<xcb_window_t>(winId()));
    xcb_flush(connection);
}

void OverlayPanel::setAppearance(Theme) {
    // The view reads the theme from the overlay's model; the panel only repaints it.
    m_view->update();
}

bool OverlayPanel::compositorRunning() {
    xcb_connection_t* connection = qtConnection();
    if (!connection)
        return false;
    const std::string name = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.data()),
        nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool running = owner && owner->owner != XCB_NONE;
    free(owner);
    return running;
}

void OverlayPanel::refreshBackdrop() {
    // The view lets go of the last backdrop first, so that the new one is painted over it in
    // place.
    m_view->setBackdrop({});
    m_backdrop = captureBlurredBackdrop(m_rootGeometry, std::move(m_backdrop));
    m_view->setBackdrop(m_backdrop);
}

QImage OverlayPanel::captureBlurredBackdrop(QRect area, QImage reuse) {
    xcb_connection_t* connection = qtConnection();
    if (!connection || area.isEmpty())
        return {};
    if (!m_rootPixels)
        m_rootPixels = std::make_unique<RootPixels>(connection);
    const QRect rootRect({0, 0}, m_rootSize ? m_rootSize() : currentRootSize(connection));
    const QRect clipped = area.intersected(rootRect);
    if (clipped.isEmpty())
        return {};
    const QImage pixels = m_rootPixels->read(clipped);
    if (pixels.isNull())
        return {};
    // The usual case, a panel inside the screen: blur the pixels where they are (the blur makes
    // new images) instead of copying them onto black first.
    if (clipped == area)
        return blurred(pixels, 12, std::move(reuse));
    QImage framed(area.size(), QImage::Format_RGB32);
    framed.fill(Qt::black);
    QPainter painter(&framed);
    painter.drawImage(clipped.topLeft() - area.topLeft(), pixels);
    painter.end();
    return blurred(framed, 12, std::move(reuse));
}

} // namespace halvo
