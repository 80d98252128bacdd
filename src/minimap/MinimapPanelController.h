// Owns the overlay's panel and model: picks the screen, sizes and places the panel, shows and
// hides it, applies the theme, and forwards the view's actions to its owner.
#pragma once

#include "minimap/MinimapActions.h"
#include "minimap/MinimapModel.h"
#include "platform/Panel.h"
#include "platform/Screens.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace halvo {

class MinimapPanelController {
public:
    using ScreenProvider = std::function<std::optional<Screen>()>;
    // Builds the panel hosting the overlay view over `model`; the view reports through `actions`.
    using PanelFactory =
        std::function<std::unique_ptr<Panel>(MinimapModel& model, MinimapActions actions)>;

    // `screenProvider` chooses a screen when there is no usable anchor; without one, the screen
    // under the pointer (screenUnderPointer) is used. The panel is built on the first show().
    MinimapPanelController(const Screens& screens, PanelFactory makePanel,
                           ScreenProvider screenProvider = {});
    ~MinimapPanelController();
    MinimapPanelController(const MinimapPanelController&) = delete;
    MinimapPanelController& operator=(const MinimapPanelController&) = delete;

    // The first screen whose frame contains `pointer`, else the main screen, else the first
    // screen, else none.
    static std::optional<Screen> screenUnderPointer(const Screens& screens, Point pointer);

    MinimapModel& model() { return m_model; }
    const MinimapModel& model() const { return m_model; }

    // The screen the visible overlay belongs to; none while hidden.
    const std::optional<Screen>& anchorScreen() const { return m_anchorScreen; }
    // The panel once the first show() built it.
    Panel* panel() const { return m_panel.get(); }

    // Builds the panel ahead of the first show(), so showing only maps it. Optional.
    void prepare() { ensurePanel(); }

    // From hidden: takes the anchor screen and clears the hover. Then builds the panel if needed,
    // frames it, orders it front and marks the model visible. While visible it keeps the anchor.
    void show();
    // Marks the model hidden, orders the panel out, drops the anchor and clears the hover.
    void hide();
    // Stores the theme in the model and applies it to the panel when there is one.
    void setTheme(Theme theme);
    // Sizes the panel to the number of apps and centres it near the bottom of the anchor screen
    // (or the provider's screen when the anchor is gone). No panel or no screen: nothing changes.
    // While hidden nothing happens either: show() places the panel afresh.
    void updateFrame();

    // Set by the owner. Called only while this controller exists.
    std::function<void(const std::string& bundleID)> onActivate;
    std::function<void(int source, int destination)> onReorder;

private:
    void ensurePanel();
    void placeOn(const Screen& screen);

    const Screens& m_screens;
    PanelFactory m_makePanel;
    ScreenProvider m_screenProvider;
    MinimapModel m_model;
    std::optional<Screen> m_anchorScreen;
    // Expires with this controller, so the view's forwarding actions can tell it is gone.
    std::shared_ptr<MinimapPanelController*> m_self;
    // Declared last: the panel and its view go before the model they observe.
    std::unique_ptr<Panel> m_panel;
};

} // namespace halvo
