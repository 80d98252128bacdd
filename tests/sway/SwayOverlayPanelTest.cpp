// The overlay as a layer surface on headless sway, placed by the overlay's own controller and
// read back from grim's screenshots.
#include "minimap/MinimapPanelController.h"
#include "minimap/view/MinimapOverlayView.h"
#include "platform/sim/SimScreens.h"
#include "platform/wayland/LayerOverlayPanel.h"
#include "support/sway/SwayVirtualKeyboard.h"
#include "support/sway/SwayVirtualPointer.h"
#include "sway/SwayTestSession.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <wayland-client.h>

namespace halvo::test {
namespace {

bool pump(const std::function<bool()>& pred, double seconds = 10) {
    return SwaySession::waitUntil(
        [&] {
            QApplication::processEvents();
            return pred();
        },
        seconds);
}

// The bounding box of the pixels where two images of one size differ.
QRect changedArea(const QImage& a, const QImage& b) {
    QRect area;
    for (int y = 0; y < a.height(); ++y) {
        const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (lineA[x] != lineB[x])
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

class LayerOverlayPanelTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(connection.ok()) << connection.error();
        // The session's outputs, side by side in sway's layout.
        screens.addScreen({0, 0, 1280, 1024}, {0, 0, 1280, 1024}, "HEADLESS-1");
        screens.addScreen({1280, 0, 1280, 1024}, {1280, 0, 1280, 1024}, "HEADLESS-2");
        screens.setMouseLocation({1280 + 300, 524});
        controller = std::make_unique<MinimapPanelController>(
            screens, [this](MinimapModel& model, MinimapActions actions) {
                auto view = std::make_unique<MinimapOverlayView>(model, std::move(actions));
                const MinimapOverlayView* shape = view.get();
                return std::make_unique<LayerOverlayPanel>(
                    connection, screens, std::move(view),
                    [shape] { return shape->surfaceRegion(); });
            });
        for (int i = 0; i < 4; ++i) {
            const std::string id = "app." + std::to_string(i);
            apps.push_back({id, id, "App " + std::to_string(i), 100 + i, nullptr});
        }
        controller->onActivate = [this](const std::string& id) { activated.push_back(id); };
        controller->model().apps = apps;
        controller->model().highlightedBundleID = std::string("app.1");
    }

    LayerOverlayPanel* panel() const {
        return static_cast<LayerOverlayPanel*>(controller->panel());
    }

    QImage screenshot(const std::string& name) {
        const std::string path = swaySession().folder() + "/" + name + ".png";
        QImage image;
        if (swaySession().screenshot(path, "HEADLESS-2"))
            image.load(QString::fromStdString(path));
        return image.convertToFormat(QImage::Format_RGB32);
    }

    MinimapOverlayView* view() const {
        return static_cast<MinimapOverlayView*>(panel()->content());
    }

    // Where the overlay draws now, in HEADLESS-2's pixels (its top-left corner at layout
    // (1280, 0)).
    QRect drawnArea() const {
        const Rect frame = panel()->frame();
        return view()->surfaceRegion().boundingRect().translated(int(frame.x) - 1280, int(frame.y));
    }

    // Waits until HEADLESS-2 differs from `before` exactly where the overlay draws.
    testing::AssertionResult showsTheOverlayOver(const QImage& before) {
        QRect changed;
        if (pump([&] {
                changed = changedArea(before, screenshot("shown"));
                return changed == drawnArea();
            }))
            return testing::AssertionSuccess();
        const QRect drawn = drawnArea();
        return testing::AssertionFailure()
               << "drawn at (" << changed.x() << ", " << changed.y() << ") " << changed.width()
               << "x" << changed.height() << ", expected (" << drawn.x() << ", " << drawn.y()
               << ") " << drawn.width() << "x" << drawn.height();
    }

    WaylandConnection connection;
    SimScreens screens;
    std::vector<TrackedApp> apps;
    std::unique_ptr<MinimapPanelController> controller;
    std::vector<std::string> activated;
};

TEST_F(LayerOverlayPanelTest, ShowsAtTheFrameOnTheOutputUnderThePointerAndGoesWhenOrderedOut) {
    const QImage before = screenshot("before");
    ASSERT_FALSE(before.isNull());
    controller->updateFrame();
    controller->show();
    const Rect frame = panel()->frame();
    ASSERT_GE(frame.x, 1280) << "the frame is not on HEADLESS-2";
    EXPECT_TRUE(showsTheOverlayOver(before));
    // The controller centres the frame on the output.
    EXPECT_NEAR(frame.midX() - 1280, 640, 1);

    controller->hide();
    EXPECT_TRUE(pump([&] { return changedArea(before, screenshot("hidden")).isEmpty(); }));
}

// A pointer's events on the surface reach the view as Qt mouse events: hover, then a click.
TEST_F(LayerOverlayPanelTest, HoverAndClickOnACellReachTheView) {
    // Headless sway has no pointer: this one gives the seat one.
    SwayVirtualPointer pointer(swaySession().waylandDisplay(), 2560, 1024);
    ASSERT_TRUE(pointer.ok()) << pointer.error();
    ASSERT_TRUE(pump([&] { return connection.hasPointer(); }));
    const QImage before = screenshot("before");
    controller->updateFrame();
    controller->show();
    ASSERT_TRUE(showsTheOverlayOver(before));
    const QPointF cell = view()->cellRect("app.2")->center();
    ASSERT_TRUE(pointer.moveTo(int(panel()->frame().x) + int(cell.x()),
                               int(panel()->frame().y) + int(cell.y())));
    ASSERT_TRUE(pump([&] { return controller->model().hoveredBundleID.get() == "app.2"; }));
    // The hover brings the name bubble: the surface is drawn again, with it.
    ASSERT_TRUE(view()->bubbleRect());
    EXPECT_TRUE(showsTheOverlayOver(before));
    ASSERT_TRUE(pointer.click());
    EXPECT_TRUE(pump([&] { return !activated.empty(); }));
    EXPECT_EQ(activated, std::vector<std::string>{"app.2"});
}

// The strip's transparent margins (its shadow, outside its rounded corners) take no pointer: it
// goes to what is below.
TEST_F(LayerOverlayPanelTest, ThePointerPassesThroughTheTransparentMargins) {
    SwayVirtualPointer pointer(swaySession().waylandDisplay(), 2560, 1024);
    ASSERT_TRUE(pointer.ok()) << pointer.error();
    ASSERT_TRUE(pump([&] { return connection.hasPointer(); }));
    const QImage before = screenshot("before");
    controller->updateFrame();
    controller->show();
    ASSERT_TRUE(showsTheOverlayOver(before));
    const Rect frame = panel()->frame();
    const auto layoutPoint = [&](QPoint p) {
        return pointer.moveTo(int(frame.x) + p.x(), int(frame.y) + p.y());
    };
    const wl_surface* surface = panel()->surface()->surface();
    const QPoint inside = view()->cellRect("app.2")->center().toPoint();
    ASSERT_TRUE(layoutPoint(inside));
    ASSERT_TRUE(pump([&] { return connection.pointerFocus() == surface; }));

    const QPoint margin(2, int(frame.height) - 2); // below the strip's bottom-left corner
    ASSERT_FALSE(view()->surfaceRegion().contains(margin));
    ASSERT_TRUE(layoutPoint(margin));
    EXPECT_TRUE(pump([&] { return connection.pointerFocus() != surface; }));
    // And back over the strip, it is the overlay's again.
    ASSERT_TRUE(layoutPoint(inside));
    EXPECT_TRUE(pump([&] { return connection.pointerFocus() == surface; }));
}

// How many 2x2 blocks of pixels (at even coordinates) in `area` are not of one colour: none when
// an image of half the resolution was scaled up, many where it was drawn at full resolution.
int mixedBlocks(const QImage& image, QRect area) {
    int mixed = 0;
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2) {
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
            const QRgb p = image.pixel(x, y);
            mixed += p != image.pixel(x + 1, y) || p != image.pixel(x, y + 1) ||
                     p != image.pixel(x + 1, y + 1);
        }
    }
    return mixed;
}

// On an output at scale 2 the strip keeps its size in the layout and is drawn with twice the
// pixels: its edges and icons are as sharp as the output can show them.
TEST_F(LayerOverlayPanelTest, DrawsAtTheOutputsScaleWithTheSameLayoutSize) {
    ASSERT_TRUE(swaySession().command("output HEADLESS-2 scale 2"));
    struct Restore {
        ~Restore() { swaySession().command("output HEADLESS-2 scale 1"); }
    } restore;
    ASSERT_TRUE(pump([&] { return connection.outputScale("HEADLESS-2") == 2; }));
    // HEADLESS-2 now spans 640x512 of the layout, its top edge level with HEADLESS-1's.
    screens.removeScreen(screens.screens().back().identifier);
    screens.addScreen({1280, 0, 640, 512}, {1280, 0, 640, 512}, "HEADLESS-2");
    screens.setMouseLocation({1280 + 300, 324});
    const QImage before = screenshot("before-scaled");
    ASSERT_EQ(before.size(), QSize(1280, 1024));

    controller->updateFrame();
    controller->show();
    ASSERT_TRUE(pump([&] { return panel()->surface() && !panel()->surface()->size().isEmpty(); }));
    const Rect frame = panel()->frame();
    EXPECT_EQ(panel()->surface()->size(), QSize(int(frame.width), int(frame.height)));
    const QRect drawn(drawnArea().topLeft() * 2, drawnArea().size() * 2);
    QImage shown;
    QRect changed;
    EXPECT_TRUE(pump([&] {
        shown = screenshot("shown-scaled");
        changed = changedArea(before, shown);
        return changed == drawn;
    })) << "drawn at "
        << changed.x() << "," << changed.y() << " " << changed.width() << "x" << changed.height()
        << ", expected " << drawn.x() << "," << drawn.y() << " " << drawn.width() << "x"
        << drawn.height();
    EXPECT_GT(mixedBlocks(shown, drawn), 500);
}

// Painting is only for frames sway shows: a configure that keeps the size (sway sends one to every
// layer surface of the output whenever another one commits) draws nothing, and the content is
// painted once per frame, not also into the hidden host's backing store.
TEST_F(LayerOverlayPanelTest, PaintsOnlyTheFramesItCommits) {
    const auto fill = [](QImage& image) { image.fill(Qt::red); };
    LayerSurface surface(connection, {"HEADLESS-2", 200, 100, 0, 0}, false, fill);
    ASSERT_TRUE(pump([&] { return surface.framesCommitted() >= 1; }));
    LayerSurface other(connection, {"HEADLESS-2", 50, 50, 300, 300}, false, fill);
    ASSERT_TRUE(pump([&] { return other.framesCommitted() >= 1; }));
    wl_display_roundtrip(connection.display()); // sway's configures of both have arrived
    QApplication::processEvents();
    EXPECT_EQ(surface.framesCommitted(), 1);

    struct Counted : QWidget {
        int paints = 0;
        void paintEvent(QPaintEvent*) override {
            QPainter(this).fillRect(rect(), Qt::blue);
            ++paints;
        }
    };
    auto content = std::make_unique<Counted>();
    Counted* counted = content.get();
    LayerOverlayPanel panel(connection, screens, std::move(content));
    panel.setFrame({1280 + 100, 100, 300, 100});
    panel.orderFront();
    const auto frames = [&] { return panel.surface()->framesCommitted(); };
    ASSERT_TRUE(pump([&] { return frames() >= 1; }));
    const int before = frames();
    counted->update();
    ASSERT_TRUE(pump([&] { return frames() > before; }));
    EXPECT_EQ(counted->paints, frames());
}

// The overlay never takes the keyboard from the focused window (LayerKeyboardMonitor's own surface
// holds it while a shortcut is down).
TEST_F(LayerOverlayPanelTest, NeverTakesTheKeyboard) {
    SwayVirtualKeyboard keyboard(swaySession().waylandDisplay()); // the seat's keyboard
    ASSERT_TRUE(keyboard.ok()) << keyboard.error();
    const pid_t foot = swaySession().spawn({"foot"});
    ASSERT_TRUE(swaySession().waitForWindow("foot"));
    controller->updateFrame();
    controller->show();
    ASSERT_TRUE(pump([&] { return panel()->surface() && !panel()->surface()->size().isEmpty(); }));
    // The surface's first frame is committed: a round trip brings any focus sway gave it.
    wl_display_roundtrip(connection.display());
    EXPECT_NE(connection.keyboardFocus(), panel()->surface()->surface());
    swaySession().kill(foot);
}

} // namespace
} // namespace halvo::test
