// The overlay on a real X server, driven by real pointer events: activation, drag reordering,
// hover bubble, paging, focus and window-manager independence, accessibility.
#include "minimap/view/MinimapOverlayView.h"

#include "minimap/MinimapGeometry.h"
#include "minimap/MinimapPanelController.h"
#include "minimap/view/AppInitialTile.h"
#include "minimap/view/OverlayPanel.h"
#include "minimap/view/PagingButton.h"
#include "platform/sim/SimScreens.h"
#include "ui/UiSession.h"

#include <QAccessible>
#include <QApplication>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sstream>
#include <xcb/xcb.h>

using namespace halvo;
using halvo::test::XvfbSession;

namespace {

std::vector<TrackedApp> makeApps(int n) {
    static const char* names[] = {"Terminal", "Files", "Calculator", "Text Editor", "Browser"};
    std::vector<TrackedApp> apps;
    for (int i = 0; i < n; ++i) {
        const std::string id = "app." + std::to_string(i);
        std::string name = i < 5 ? names[i] : "App " + std::to_string(i);
        apps.push_back({id, id, name, 100 + i, nullptr});
    }
    return apps;
}

bool pump(const std::function<bool()>& pred, double seconds = 5) {
    return XvfbSession::waitUntil(
        [&] {
            QApplication::processEvents();
            return pred();
        },
        seconds);
}

class MinimapOverlayTest : public testing::Test {
protected:
    void SetUp() override {
        session = test::uiSession();
        ASSERT_NE(session, nullptr);
        screens.addScreen({0, 0, 1440, 1024}, {0, 0, 1440, 1024}, "LEFT");
        screens.addScreen({1440, 0, 1440, 1024}, {1440, 0, 1440, 1024}, "RIGHT");
        screens.setMouseLocation({700, 500});
        controller = std::make_unique<MinimapPanelController>(screens, OverlayPanel::factory());
        controller->onActivate = [this](const std::string& id) { activated.push_back(id); };
        controller->onReorder = [this](int s, int d) { reordered.emplace_back(s, d); };
    }

    void showWith(int appCount) {
        controller->model().apps = makeApps(appCount);
        controller->model().highlightedBundleID = std::string("app.0");
        controller->updateFrame();
        controller->show();
        ASSERT_TRUE(pump([&] { return isViewable(); })) << "panel never mapped";
        ASSERT_TRUE(pump([&] { return !panel()->view()->isWiggleRunning(); }));
    }

    OverlayPanel* panel() const { return static_cast<OverlayPanel*>(controller->panel()); }
    MinimapOverlayView* view() const { return panel()->view(); }

    bool isViewable() const {
        std::ostringstream id;
        id << panel()->winId();
        return session->run("xwininfo -id " + id.str()).find("IsViewable") != std::string::npos;
    }

    // Root coordinates of a point of the view.
    QPoint root(QPointF local) const { return panel()->rootGeometry().topLeft() + local.toPoint(); }
    QPoint cellCentre(int index) const {
        return root(view()->cellRect("app." + std::to_string(index))->center());
    }

    void pointer(const std::string& actions) { session->run("xdotool " + actions); }
    void moveTo(QPoint p) {
        pointer("mousemove " + std::to_string(p.x()) + " " + std::to_string(p.y()));
    }

    void screenshot(const std::string& name) {
        const QRect g = panel()->rootGeometry().adjusted(-20, -20, 20, 20);
        session->run("import -window root -crop " + std::to_string(g.width()) + "x" +
                     std::to_string(g.height()) + "+" + std::to_string(g.x()) + "+" +
                     std::to_string(g.y()) + " /tmp/halvo-overlay-" + name + ".png");
    }

    XvfbSession* session = nullptr;
    SimScreens screens;
    std::unique_ptr<MinimapPanelController> controller;
    std::vector<std::string> activated;
    std::vector<std::pair<int, int>> reordered;
};

TEST_F(MinimapOverlayTest, ClickOnACellActivatesItsApp) {
    showWith(3);
    moveTo(cellCentre(1));
    pointer("click 1");
    ASSERT_TRUE(pump([&] { return !activated.empty(); }));
    EXPECT_EQ(activated, (std::vector<std::string>{"app.1"}));
    EXPECT_TRUE(reordered.empty());
}

TEST_F(MinimapOverlayTest, DragThirtySixPointsRightFromIndexTwoMovesItOnePlace) {
    showWith(5);
    const QPoint start = cellCentre(2);
    moveTo(start);
    pointer("mousedown 1");
    moveTo(start + QPoint(10, 0));
    ASSERT_TRUE(pump([&] { return view()->dragState().isDragging(); }));
    EXPECT_TRUE(view()->isWiggleRunning());
    EXPECT_EQ(controller->model().hoveredBundleID.get(), std::nullopt);
    moveTo(start + QPoint(36, 0));
    ASSERT_TRUE(pump([&] { return view()->dragState().dragOffset() == 36; }));
    screenshot("drag");
    pointer("mouseup 1");
    ASSERT_TRUE(pump([&] { return !reordered.empty(); }));
    EXPECT_EQ(reordered, (std::vector<std::pair<int, int>>{{2, 4}}));
    EXPECT_TRUE(activated.empty());
    EXPECT_FALSE(view()->isWiggleRunning()) << "the wiggle timer runs only while dragging";
}

TEST_F(MinimapOverlayTest, DragFarLeftMovesToTheFront) {
    showWith(5);
    const QPoint start = cellCentre(2);
    moveTo(start);
    pointer("mousedown 1");
    moveTo(start - QPoint(100, 0));
    moveTo(start - QPoint(300, 0));
    ASSERT_TRUE(pump([&] { return view()->dragState().dragOffset() == -300; }));
    pointer("mouseup 1");
    ASSERT_TRUE(pump([&] { return !reordered.empty(); }));
    EXPECT_EQ(reordered, (std::vector<std::pair<int, int>>{{2, 0}}));
}

TEST_F(MinimapOverlayTest, HoveringACellShowsTheBubbleWithItsName) {
    showWith(3);
    moveTo(cellCentre(2));
    ASSERT_TRUE(pump([&] { return controller->model().hoveredBundleID.get() == "app.2"; }));
    auto bubble = view()->bubbleRect();
    ASSERT_TRUE(bubble.has_value());
    const double tipX = view()->cellRect("app.2")->center().x();
    EXPECT_NEAR(bubble->center().x(), tipX, 0.5);
    // Without a compositor the window is shaped: exactly the bubble, its tip and its shadow show,
    // nothing else of the bubble's bounding box.
    ASSERT_FALSE(panel()->isComposited());
    const QRegion shape = panel()->mask();
    const QPoint corner = bubble->topLeft().toPoint();
    const QPoint tipTop(static_cast<int>(tipX), static_cast<int>(bubble->top()) + 29);
    const struct {
        QPoint point;
        bool inside;
        const char* what;
    } cases[] = {
        {bubble->center().toPoint(), true, "the bubble's body"},
        {tipTop + QPoint(0, 3), true, "the tip"},
        {tipTop + QPoint(0, 5), true, "the tip's shadow"},
        {corner + QPoint(1, 1), false, "outside the rounded top-left corner"},
        {corner + QPoint(static_cast<int>(bubble->width()) - 2, 1), false,
         "outside the rounded top-right corner"},
        {tipTop + QPoint(-12, 3), false, "left of the tip"},
        {tipTop + QPoint(12, 3), false, "right of the tip"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shape.contains(c.point), c.inside) << c.what;
    pump([] { return false; }, 0.2); // let the fade finish before looking
    screenshot("bubble");

    moveTo(root(QPointF(view()->width() / 2.0, 5))); // above the strip: no cell
    ASSERT_TRUE(pump([&] { return !controller->model().hoveredBundleID.get().has_value(); }));
    EXPECT_FALSE(view()->bubbleRect().has_value());
}

TEST_F(MinimapOverlayTest, AppsWithoutIconsShowTheirInitialOnTheirNamesColour) {
    showWith(3); // Terminal, Files and Calculator, none with an icon
    pump([] { return false; }, 0.2);
    screenshot("initials");
    const QImage image = view()->grab().toImage();
    const double ratio = image.devicePixelRatio();
    for (int i = 0; i < 3; ++i) {
        const TrackedApp& app = controller->model().apps.get()[i];
        SCOPED_TRACE(app.name);
        const QRectF cell = *view()->cellRect(app.id);
        // Inside the tile, left of the letter.
        const QPointF probe(cell.center().x() - minimap::iconSize / 2 + 10,
                            cell.y() + minimap::iconBoxHeight / 2);
        const QColor seen = image.pixelColor((probe * ratio).toPoint());
        const QColor expected = AppInitialTile::colour(QString::fromStdString(app.name));
        EXPECT_NEAR(seen.red(), expected.red(), 2);
        EXPECT_NEAR(seen.green(), expected.green(), 2);
        EXPECT_NEAR(seen.blue(), expected.blue(), 2);
        EXPECT_GT(seen.hslSaturation(), 100) << "a grey placeholder";
    }
    // The colour is the same in every run: Qt's seeded hash would change it per process.
    EXPECT_EQ(AppInitialTile::colour("XLogo").name(), QStringLiteral("#722daf"));
    EXPECT_NE(AppInitialTile::colour("XLogo"), AppInitialTile::colour("XCalc"));
    EXPECT_EQ(AppInitialTile::initial("xcalc"), QStringLiteral("X"));
    EXPECT_EQ(AppInitialTile::initial(QStringLiteral("  élan")), QStringLiteral("É"));
    EXPECT_EQ(AppInitialTile::initial("--"), QStringLiteral("?"));
}

TEST_F(MinimapOverlayTest, TwentyFiveAppsOnA1440MonitorPage) {
    showWith(25);
    EXPECT_EQ(panel()->rootGeometry().width(), 1392);
    PagingButton* left = view()->leftButton();
    PagingButton* right = view()->rightButton();
    ASSERT_TRUE(left->isVisible() && right->isVisible());
    EXPECT_FALSE(left->isEnabled());
    EXPECT_TRUE(right->isEnabled());
    EXPECT_EQ(right->toolTip(), "Show more apps on the right");

    // From the last cell of the viewport straight onto the button beside it: the bubble goes.
    moveTo(cellCentre(17));
    ASSERT_TRUE(pump([&] { return controller->model().hoveredBundleID.get() == "app.17"; }));
    moveTo(root(right->geometry().center()));
    EXPECT_TRUE(pump([&] { return !controller->model().hoveredBundleID.get().has_value(); }));
    EXPECT_FALSE(view()->bubbleRect().has_value());
    pointer("click 1");
    // Viewport 1312 holds 18 cells: the step is 17, so cell 17 meets the leading edge, or as near
    // as the end of the row allows.
    ASSERT_TRUE(pump([&] { return view()->scrollOffset() == 16 + 72 * 25 - 1312; }));
    ASSERT_TRUE(pump([&] { return left->isEnabled() && !right->isEnabled(); }));
    screenshot("overflow");

    moveTo(root(left->geometry().center()));
    pointer("click 1");
    // Back to the first cell, whose leading edge meets the viewport's.
    ASSERT_TRUE(pump([&] { return view()->scrollOffset() == 8; })) << view()->scrollOffset();
    EXPECT_FALSE(left->isEnabled());
    EXPECT_TRUE(activated.empty());
}

TEST_F(MinimapOverlayTest, ShowingNeitherTakesFocusNorJoinsTheClientList) {
    const pid_t xlogo = session->spawn({"xlogo"});
    const unsigned long client = session->waitForClientWindow("XLogo");
    ASSERT_NE(client, 0u);
    ASSERT_TRUE(XvfbSession::waitUntil([&] { return session->activeWindow() == client; }));

    showWith(3);
    moveTo(cellCentre(0));
    pointer("click 1");
    ASSERT_TRUE(pump([&] { return !activated.empty(); }));
    pump([] { return false; }, 0.2);
    EXPECT_EQ(session->activeWindow(), client);
    std::ostringstream hex;
    hex << "0x" << std::hex << panel()->winId();
    EXPECT_EQ(session->run("xprop -root _NET_CLIENT_LIST").find(hex.str()), std::string::npos);
    EXPECT_NE(session->run("xwininfo -id " + hex.str()).find("Override Redirect State: yes"),
              std::string::npos);
    session->kill(xlogo);
}

// A window manager that reads a withdrawal (ICCCM's synthetic UnmapNotify on the root) late and
// unmaps the window then, as herbstluftwm does for override-redirect windows too.
class LateWithdrawingWindowManager {
public:
    explicit LateWithdrawingWindowManager(const std::string& display)
        : m_connection(xcb_connect(display.c_str(), nullptr)) {
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, root(), XCB_CW_EVENT_MASK, &mask);
        sync();
    }
    ~LateWithdrawingWindowManager() { xcb_disconnect(m_connection); }

    // Acts on the withdrawals sent so far. How many there were.
    int withdrawNow() {
        sync();
        int withdrawn = 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            if (event->response_type == (XCB_UNMAP_NOTIFY | 0x80)) {
                const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
                xcb_unmap_window(m_connection, unmap->window);
                ++withdrawn;
            }
            free(event);
        }
        sync();
        return withdrawn;
    }

private:
    void sync() {
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }
    xcb_window_t root() { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }
    xcb_connection_t* m_connection;
};

TEST_F(MinimapOverlayTest, HidingTakesThePanelOffScreenAndResetsTheDragShowingBringsItBack) {
    showWith(3);
    LateWithdrawingWindowManager windowManager(session->display());
    moveTo(cellCentre(1));
    pointer("mousedown 1");
    moveTo(cellCentre(1) + QPoint(20, 0));
    ASSERT_TRUE(pump([&] { return view()->dragState().isDragging(); }));
    controller->hide();
    EXPECT_FALSE(view()->dragState().draggingID().has_value());
    EXPECT_FALSE(view()->isWiggleRunning());
    ASSERT_TRUE(pump([&] { return !isViewable(); }));
    pointer("mouseup 1");

    controller->show();
    ASSERT_TRUE(pump([&] { return isViewable(); }));
    EXPECT_EQ(windowManager.withdrawNow(), 0);
    EXPECT_TRUE(isViewable()) << "the window manager took the overlay away again";
}

TEST_F(MinimapOverlayTest, EachCellIsAnAccessibleButton) {
    showWith(3);
    QAccessibleInterface* overlay = QAccessible::queryAccessibleInterface(view());
    ASSERT_NE(overlay, nullptr);
    ASSERT_GE(overlay->childCount(), 3);
    QAccessibleInterface* first = overlay->child(0);
    QAccessibleInterface* second = overlay->child(1);
    EXPECT_EQ(first->role(), QAccessible::Button);
    EXPECT_EQ(first->text(QAccessible::Name), "Terminal");
    EXPECT_EQ(first->text(QAccessible::Value), "Active");
    EXPECT_EQ(second->text(QAccessible::Value), "");
    EXPECT_EQ(overlay->indexOfChild(second), 1);
    EXPECT_TRUE(first->rect().contains(cellCentre(0)));
    ASSERT_NE(second->actionInterface(), nullptr);
    second->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(activated, (std::vector<std::string>{"app.1"}));
}

TEST_F(MinimapOverlayTest, FollowsTheDesktopsSchemeAndAccessibilitySettingsWhileRunning) {
    showWith(3);
    ASSERT_EQ(controller->model().theme.get(), Theme::system);
    ASSERT_FALSE(view()->isDark());
    ASSERT_FALSE(view()->motion().reduceMotion);
    // GNOME's settings changed while the overlay exists (the in-memory GSettings backend of this
    // process notifies as dconf would).
    GSettings* interface = g_settings_new("org.gnome.desktop.interface");
    GSettings* a11y = g_settings_new("org.gnome.desktop.a11y.interface");
    g_settings_set_string(interface, "color-scheme", "prefer-dark");
    g_settings_set_boolean(interface, "enable-animations", false);
    g_settings_set_boolean(a11y, "high-contrast", true);
    EXPECT_TRUE(pump([&] {
        return view()->isDark() && view()->motion().reduceMotion &&
               view()->motion().increasedContrast;
    }));
    EXPECT_TRUE(view()->leftButton()->isDark());
    g_settings_reset(interface, "color-scheme");
    g_settings_reset(interface, "enable-animations");
    g_settings_reset(a11y, "high-contrast");
    EXPECT_TRUE(pump([&] { return !view()->isDark() && !view()->motion().reduceMotion; }));
    g_object_unref(interface);
    g_object_unref(a11y);

    // Other desktops change the application palette.
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    EXPECT_TRUE(pump([&] { return view()->isDark() && view()->rightButton()->isDark(); }));
    QApplication::setPalette(light);
}

TEST_F(MinimapOverlayTest, ReduceMotionDragsWithoutWiggle) {
    showWith(3);
    OverlayMotionSettings motion = view()->motion();
    motion.reduceMotion = true;
    view()->setMotion(motion);
    const QPoint start = cellCentre(0);
    moveTo(start);
    pointer("mousedown 1");
    moveTo(start + QPoint(30, 0));
    ASSERT_TRUE(pump([&] { return view()->dragState().isDragging(); }));
    EXPECT_FALSE(view()->isWiggleRunning());
    pointer("mouseup 1");
}

} // namespace
