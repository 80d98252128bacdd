// Screen choice, panel frame, show/hide and action forwarding of the overlay.
#include "minimap/MinimapPanelController.h"

#include "minimap/MinimapGeometry.h"

#include <algorithm>
#include <utility>

namespace halvo {

MinimapPanelController::MinimapPanelController(const Screens& screens, PanelFactory makePanel,
                                               ScreenProvider screenProvider)
    : m_screens(screens), m_makePanel(std::move(makePanel)),
      m_screenProvider(std::move(screenProvider)),
      m_self(std::make_shared<MinimapPanelController*>(this)) {
    if (!m_screenProvider) {
        m_screenProvider = [this] {
            return screenUnderPointer(m_screens, m_screens.mouseLocation());
        };
    }
}

MinimapPanelController::~MinimapPanelController() {
    m_panel.reset();
    m_self.reset();
}

std::optional<Screen> MinimapPanelController::screenUnderPointer(const Screens& screens,
                                                                 Point pointer) {
    const std::vector<Screen> all = screens.screens();
    for (const Screen& screen : all) {
        if (screen.frame.contains(pointer))
            return screen;
    }
    if (auto main = screens.mainScreen())
        return main;
    if (!all.empty())
        return all.front();
    return std::nullopt;
}

void MinimapPanelController::ensurePanel() {
    if (m_panel || !m_makePanel)
        return;
    std::weak_ptr<MinimapPanelController*> weak = m_self;
    MinimapActions actions;
    actions.activate = [weak](const std::string& bundleID) {
        auto self = weak.lock();
        if (self && (*self)->onActivate)
            (*self)->onActivate(bundleID);
    };
    actions.reorder = [weak](int source, int destination) {
        auto self = weak.lock();
        if (self && (*self)->onReorder)
            (*self)->onReorder(source, destination);
    };
    m_panel = m_makePanel(m_model, std::move(actions));
    if (m_panel)
        m_panel->setAppearance(m_model.theme.get());
}

void MinimapPanelController::updateFrame() {
    // A hidden panel is placed afresh by show(); framing it now would only read the screens
    // (a request to every client window for its struts) for nothing.
    if (!m_panel || !m_model.isVisible.get())
        return;
    std::optional<Screen> screen;
    if (m_anchorScreen) {
        // The anchor's current geometry: its visible frame may have changed since it was taken.
        for (const Screen& current : m_screens.screens()) {
            if (current == *m_anchorScreen)
                screen = current;
        }
    }
    if (!screen)
        screen = m_screenProvider();
    if (screen)
        placeOn(*screen);
}

void MinimapPanelController::placeOn(const Screen& screen) {
    if (m_panel)
        m_panel->setFrame(minimap::panelFrame(screen.visibleFrame, m_model.apps->size()));
}

void MinimapPanelController::show() {
    bool anchoredNow = false;
    if (!m_model.isVisible.get()) {
        m_anchorScreen = m_screenProvider();
        m_model.hoveredBundleID = std::nullopt;
        anchoredNow = m_anchorScreen.has_value();
    }
    ensurePanel();
    // An anchor taken just now is current: no need to read the screens again.
    if (anchoredNow)
        placeOn(*m_anchorScreen);
    else
        updateFrame();
    if (m_panel)
        m_panel->orderFront();
    m_model.isVisible = true;
}

void MinimapPanelController::hide() {
    m_model.isVisible = false;
    if (m_panel)
        m_panel->orderOut();
    m_anchorScreen.reset();
    m_model.hoveredBundleID = std::nullopt;
}

void MinimapPanelController::setTheme(Theme theme) {
    m_model.theme = theme;
    if (m_panel)
        m_panel->setAppearance(theme);
}

} // namespace halvo
