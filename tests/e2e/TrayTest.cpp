// The tray icon of the real program: embedded in an XEmbed tray (trayer), or registered with a
// StatusNotifierItem watcher when one is on the session bus.
#include "e2e/HalvoDesktop.h"
#include "e2e/StatusNotifierWatcherStub.h"

#include <QCoreApplication>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <csignal>
#include <gtest/gtest.h>
#include <sstream>

using namespace halvo::test;

namespace {

TEST(TrayTest, IconEmbedsInAnXEmbedTray) {
    HalvoDesktop desktop(true);
    ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
    auto halvo = desktop.startHalvo();
    DesktopReader& inspector = desktop.reader();
    // The icon is a window of Halvo's class whose top-level ancestor is trayer's panel.
    const auto embeddedIcon = [&]() -> std::optional<xcb_window_t> {
        const auto icon = inspector.halvoWindowNamed("halvo");
        if (!icon || !inspector.isViewable(*icon))
            return std::nullopt;
        for (xcb_window_t window = *icon; window != XCB_WINDOW_NONE;
             window = inspector.parent(window)) {
            if (inspector.windowClass(window) == "trayer")
                return icon;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(XvfbSession::waitUntil([&] { return embeddedIcon().has_value(); })) << halvo->log();
    const WindowFrame frame = *inspector.frame(*embeddedIcon());
    EXPECT_LT(frame.x, HalvoDesktop::monitorWidth) << "in the tray on the left monitor";
    EXPECT_GE(frame.y, HalvoDesktop::monitorHeight - HalvoDesktop::trayHeight);
    EXPECT_EQ(halvo->log().find("No system tray"), std::string::npos) << halvo->log();
}

TEST(TrayTest, IconRegistersWithAStatusNotifierWatcher) {
    HalvoDesktop desktop;
    ASSERT_TRUE(desktop.session().ok()) << desktop.session().error();
    // A private session bus: its address and pid on two lines.
    std::istringstream bus(desktop.session().run(
        "dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1"));
    std::string address;
    pid_t busPid = 0;
    bus >> address >> busPid;
    ASSERT_FALSE(address.empty());
    ASSERT_GT(busPid, 0);

    int argc = 1;
    char name[] = "halvo_e2e_tests";
    char* argv[] = {name, nullptr};
    {
        QCoreApplication app(argc, argv);
        StatusNotifierWatcherStub watcher(QString::fromStdString(address));
        ASSERT_TRUE(watcher.ok());
        // The watcher answers from this thread: start the program without blocking on it.
        HalvoProcess halvo(desktop.configHome(), {}, {{"DBUS_SESSION_BUS_ADDRESS", address}});
        const bool registered = XvfbSession::waitUntil(
            [&] {
                QCoreApplication::processEvents();
                return !watcher.items().isEmpty();
            },
            20);
        EXPECT_TRUE(registered) << halvo.log();
        if (registered) {
            // The registered item answers with Halvo's title.
            QString service = watcher.items().front();
            QDBusInterface item(service, QStringLiteral("/StatusNotifierItem"),
                                QStringLiteral("org.kde.StatusNotifierItem"),
                                QDBusConnection(QStringLiteral("watcher")));
            EXPECT_EQ(item.property("Title").toString().toStdString(), "halvo")
                << service.toStdString();
            // The permission poll hands in the same menu every two seconds: the exported menu
            // stays as it is, so the host has nothing to fetch again.
            const QString menu = item.property("Menu").value<QDBusObjectPath>().path();
            ASSERT_TRUE(watcher.watchMenu(service, menu)) << menu.toStdString();
            EXPECT_FALSE(XvfbSession::waitUntil(
                [&] {
                    QCoreApplication::processEvents();
                    return watcher.menuUpdates() > 0;
                },
                5))
                << "the menu was rebuilt without a change";
        }
        EXPECT_EQ(halvo.log().find("No system tray"), std::string::npos) << halvo.log();
    }
    ::kill(busPid, SIGTERM);
}

} // namespace
