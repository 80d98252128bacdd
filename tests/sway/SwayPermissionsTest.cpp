// Permissions on sway: the window manager is window control's answer, keyboard access follows
// whether sway took the shortcut's bindings.
#include "platform/sway/SwayPermissions.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimWindowControl.h"
#include "platform/sway/SwayHotkeyRegistrar.h"
#include "platform/wayland/LayerKeyboardMonitor.h"
#include "sway/SwayTestSession.h"

#include <gtest/gtest.h>

namespace halvo::test {
namespace {

TEST(SwayPermissions, KeyboardAccessOnceSwayTookTheBindings) {
    SwaySession& session = swaySession();
    WaylandConnection connection(session.waylandDisplay());
    LayerKeyboardMonitor monitor(connection);
    SimDesktop desktop;
    SimWindowControl windowControl(desktop);
    SimLog log;
    const Modifiers controlAlt = Modifier::control | Modifier::alt;

    SwayHotkeyRegistrar unreachable(session.folder() + "/no-such-socket", monitor, {}, log);
    SwayPermissions withoutSway(windowControl, unreachable, connection, log);
    EXPECT_EQ(unreachable.registerShortcut(HotkeyAction::next, controlAlt).result,
              RegistrationResult::failed);
    EXPECT_FALSE(withoutSway.hasKeyboardAccess());

    SwayHotkeyRegistrar registrar(session.swaySocket(), monitor, {}, log);
    SwayPermissions permissions(windowControl, registrar, connection, log);
    EXPECT_FALSE(permissions.hasKeyboardAccess()); // nothing registered yet
    EXPECT_EQ(registrar.registerShortcut(HotkeyAction::next, controlAlt).result,
              RegistrationResult::registered);
    EXPECT_TRUE(permissions.hasKeyboardAccess());

    EXPECT_TRUE(permissions.isWindowManagerRunningWithPrompt());
    EXPECT_EQ(log.lines().size(), 1u); // the unreachable socket's
    desktop.setWindowManagerRunning(false);
    EXPECT_FALSE(permissions.isWindowManagerRunningWithPrompt());
    EXPECT_EQ(log.lines().size(), 2u);
}

} // namespace
} // namespace halvo::test
