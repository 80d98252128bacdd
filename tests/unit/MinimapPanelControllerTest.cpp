// The overlay's panel controller and model: screen choice, frame, show/hide, theme, forwarding.
#include "minimap/MinimapPanelController.h"

#include "platform/sim/SimPanel.h"
#include "platform/sim/SimScreens.h"

#include <gtest/gtest.h>
#include <memory>

using namespace halvo;

namespace {

std::vector<TrackedApp> makeApps(int n) {
    std::vector<TrackedApp> apps;
    for (int i = 0; i < n; ++i) {
        const std::string id = "app." + std::to_string(i);
        apps.push_back({id, id, "App " + std::to_string(i), 100 + i, nullptr});
    }
    return apps;
}

class MinimapPanelControllerTest : public testing::Test {
protected:
    MinimapPanelControllerTest() {
        // LEFT has a 40-pixel dock at its bottom; RIGHT, 900 high with its bottom edge level with
        // LEFT's (1024 - 900 = 124), has a 24-pixel bar at its top.
        left = screens.addScreen({0, 0, 1280, 1024}, {0, 0, 1280, 984}, "LEFT");
        right = screens.addScreen({1280, 124, 1440, 900}, {1280, 148, 1440, 876}, "RIGHT");
        screens.setMouseLocation({100, 924});
    }

    MinimapPanelController::PanelFactory factory() {
        return [this](MinimapModel& model, MinimapActions a) {
            ++panelsBuilt;
            builtFor = &model;
            actions = a;
            auto panel = std::make_unique<SimPanel>();
            sim = panel.get();
            return panel;
        };
    }

    SimScreens screens;
    Screen left;
    Screen right;
    int panelsBuilt = 0;
    MinimapModel* builtFor = nullptr;
    MinimapActions actions;
    SimPanel* sim = nullptr;
};

TEST(MinimapModel, StartsEmptyHiddenAndFollowingTheSystem) {
    MinimapModel model;
    EXPECT_EQ(model.theme.get(), Theme::system);
    EXPECT_TRUE(model.apps->empty());
    EXPECT_EQ(model.highlightedBundleID.get(), std::nullopt);
    EXPECT_FALSE(model.isVisible.get());
    EXPECT_EQ(model.hoveredBundleID.get(), std::nullopt);
}

TEST(MinimapModel, EveryAssignmentToAnyPropertyIsNoticedEqualValuesIncluded) {
    MinimapModel model;
    int notices = 0;
    Subscription sub = model.subscribeToChanges([&] { ++notices; });
    model.theme = Theme::system;
    model.apps = std::vector<TrackedApp>{};
    model.highlightedBundleID = std::nullopt;
    model.isVisible = false;
    model.hoveredBundleID = std::nullopt;
    EXPECT_EQ(notices, 5);
    sub.reset();
    model.isVisible = true;
    EXPECT_EQ(notices, 5);
}

TEST(MinimapModel, AnIdentifierMissingFromTheAppsMatchesNothing) {
    MinimapModel model;
    model.apps = makeApps(3);
    EXPECT_EQ(model.indexOf(std::string("app.2")), 2u);
    EXPECT_EQ(model.indexOf(std::string("gone")), std::nullopt);
    EXPECT_EQ(model.indexOf(std::nullopt), std::nullopt);
}

TEST_F(MinimapPanelControllerTest, ScreenUnderPointerFallsBackToMainThenFirstThenNone) {
    // Near RIGHT's bottom edge (it spans y 124 to 1024).
    EXPECT_EQ(MinimapPanelController::screenUnderPointer(screens, {1300, 1014}), right);
    EXPECT_EQ(MinimapPanelController::screenUnderPointer(screens, {-5, -5}), left);
    screens.setMainScreen(right);
    EXPECT_EQ(MinimapPanelController::screenUnderPointer(screens, {-5, -5}), right);
    SimScreens none;
    EXPECT_EQ(MinimapPanelController::screenUnderPointer(none, {0, 0}), std::nullopt);
}

TEST_F(MinimapPanelControllerTest, PanelIsBuiltLazilyOnceWithTheModelsTheme) {
    MinimapPanelController controller(screens, factory());
    controller.setTheme(Theme::dark);
    controller.updateFrame(); // no panel yet: nothing to frame
    EXPECT_EQ(panelsBuilt, 0);
    controller.prepare();
    EXPECT_EQ(panelsBuilt, 1);
    EXPECT_EQ(sim->orderFrontCount(), 0);
    controller.show();
    controller.hide();
    controller.show();
    EXPECT_EQ(panelsBuilt, 1);
    EXPECT_EQ(builtFor, &controller.model());
    EXPECT_EQ(sim->appearances().front(), Theme::dark);
}

TEST_F(MinimapPanelControllerTest, ShowFramesOnTheScreenUnderThePointerThenOrdersFront) {
    MinimapPanelController controller(screens, factory());
    controller.model().apps = makeApps(4);
    std::vector<bool> visibleWhenNoticed;
    Subscription sub = controller.model().isVisible.subscribe([&](const bool& v) {
        visibleWhenNoticed.push_back(v);
        // Visible only once the panel is on screen; hidden while it is still there, so the view
        // resets before the panel goes.
        EXPECT_TRUE(sim->isOnScreen());
    });
    screens.setMouseLocation({2000, 524});
    controller.show();
    EXPECT_EQ(controller.anchorScreen(), right);
    // 20 above RIGHT's visible bottom (148 + 876 = 1024), 148 high.
    EXPECT_EQ(sim->frame(), (Rect{1280 + 720 - 168, 1024 - 20 - 148, 336, 148}));
    EXPECT_EQ(sim->orderFrontCount(), 1);
    controller.hide();
    EXPECT_EQ(visibleWhenNoticed, (std::vector<bool>{true, false}));
    EXPECT_EQ(sim->orderOutCount(), 1);
    EXPECT_EQ(controller.anchorScreen(), std::nullopt);
}

TEST_F(MinimapPanelControllerTest, ASecondShowKeepsTheAnchorWhereverThePointerWent) {
    MinimapPanelController controller(screens, factory());
    controller.show();
    screens.setMouseLocation({2000, 524});
    controller.model().hoveredBundleID = "app.1";
    controller.show();
    EXPECT_EQ(controller.anchorScreen(), left);
    EXPECT_EQ(sim->frame().x, 640 - 140);
    EXPECT_EQ(controller.model().hoveredBundleID.get(), "app.1");
    EXPECT_EQ(sim->orderFrontCount(), 2);
}

TEST_F(MinimapPanelControllerTest, HideThenShowMovesToThePointersScreenAndClearsHover) {
    MinimapPanelController controller(screens, factory());
    controller.model().apps = makeApps(2);
    controller.model().highlightedBundleID = "app.1";
    controller.show();
    controller.model().hoveredBundleID = "app.0";
    controller.hide();
    EXPECT_EQ(controller.model().hoveredBundleID.get(), std::nullopt);
    EXPECT_EQ(controller.model().apps->size(), 2u); // the last list stays for the next show
    EXPECT_EQ(controller.model().highlightedBundleID.get(), "app.1");
    screens.setMouseLocation({2000, 524});
    controller.show();
    EXPECT_EQ(controller.anchorScreen(), right);
    EXPECT_EQ(sim->frame().x, 1280 + 720 - 140);
}

TEST_F(MinimapPanelControllerTest, UpdateFrameFollowsTheAppCountAndTheAnchorsNewGeometry) {
    MinimapPanelController controller(screens, factory());
    controller.show();
    controller.model().apps = makeApps(10);
    controller.updateFrame();
    EXPECT_EQ(sim->frame(), (Rect{640 - 384, 984 - 20 - 148, 768, 148}));
}

TEST_F(MinimapPanelControllerTest, ADisconnectedAnchorFallsBackToThePointersScreen) {
    MinimapPanelController controller(screens, factory());
    controller.show();
    screens.removeScreen(left.identifier);
    screens.setMouseLocation({2000, 524});
    controller.updateFrame();
    EXPECT_EQ(sim->frame().x, 1280 + 720 - 140);
    EXPECT_EQ(controller.anchorScreen(), left); // the anchor itself is not replaced
}

TEST_F(MinimapPanelControllerTest, NoScreenAtAllLeavesTheFrameAlone) {
    SimScreens none;
    MinimapPanelController controller(none, factory());
    controller.show();
    EXPECT_TRUE(sim->frames().empty());
    EXPECT_EQ(sim->orderFrontCount(), 1);
    EXPECT_TRUE(controller.model().isVisible.get());
}

TEST_F(MinimapPanelControllerTest, AGivenScreenProviderReplacesThePointerRule) {
    MinimapPanelController controller(screens, factory(), [this] { return right; });
    controller.show();
    EXPECT_EQ(controller.anchorScreen(), right);
}

TEST_F(MinimapPanelControllerTest, ThemeGoesToTheModelAndToAnExistingPanel) {
    MinimapPanelController controller(screens, factory());
    controller.show();
    controller.setTheme(Theme::dark);
    controller.setTheme(Theme::system);
    EXPECT_EQ(controller.model().theme.get(), Theme::system);
    EXPECT_EQ(sim->appearances(), (std::vector<Theme>{Theme::system, Theme::dark, Theme::system}));
}

TEST_F(MinimapPanelControllerTest, ViewActionsReachTheOwnerOnlyWhileTheControllerLives) {
    std::vector<std::string> activated;
    std::vector<std::pair<int, int>> reordered;
    {
        MinimapPanelController controller(screens, factory());
        controller.show();
        actions.activate("app.0"); // no callback set yet: nothing happens
        controller.onActivate = [&](const std::string& id) { activated.push_back(id); };
        controller.onReorder = [&](int s, int d) { reordered.emplace_back(s, d); };
        actions.activate("app.1");
        actions.reorder(2, 4);
    }
    actions.activate("app.2");
    actions.reorder(0, 1);
    EXPECT_EQ(activated, (std::vector<std::string>{"app.1"}));
    EXPECT_EQ(reordered, (std::vector<std::pair<int, int>>{{2, 4}}));
}

} // namespace
