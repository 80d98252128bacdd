// The services one desktop session's backend provides to the controller; the rest of the program
// is the same in every session.
#pragma once

#include "minimap/MinimapPanelController.h"
#include "platform/EventMonitor.h"
#include "platform/HotkeyRegistrar.h"
#include "platform/Permissions.h"
#include "platform/Screens.h"
#include "platform/StatusItem.h"
#include "platform/SystemSound.h"
#include "platform/WindowControl.h"
#include "platform/Workspace.h"
#include "settings/PermissionHelp.h"

#include <QColor>
#include <functional>
#include <memory>
#include <optional>

namespace halvo {

struct SessionBackends {
    Workspace& workspace;
    WindowControl& windowControl;
    Screens& screens;
    HotkeyRegistrar& hotkeyRegistrar;
    EventMonitor& eventMonitor;
    SystemSound& sound;
    Permissions& permissions;
    MinimapPanelController::PanelFactory makePanel;
    PermissionHelp::Session session;
    // The colour of the panel's text where the session knows it (the tray icon is drawn in it).
    std::optional<QColor> trayTint = std::nullopt;
    // The session's own place for the status item (GNOME's top bar); unset: the tray.
    std::function<std::unique_ptr<StatusItem>()> makeStatusItem = nullptr;
};

} // namespace halvo
