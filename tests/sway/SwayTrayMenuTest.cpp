// The tray menu in a Wayland session: with no parent surface for a popup it opens as a small
// floating window, and closes after a choice.
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/linux/QtStatusItem.h"
#include "sway/SwayTestSession.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace halvo::test {
namespace {

// The container of this process's window in sway's tree, null when it has none.
nlohmann::json ownWindow() {
    I3IpcClient client(swaySession().swaySocket());
    const auto tree = nlohmann::json::parse(client.request(I3IpcMessage::Type::getTree));
    nlohmann::json found;
    std::function<void(const nlohmann::json&)> visit = [&](const nlohmann::json& node) {
        if (node.value("pid", 0) == getpid())
            found = node;
        for (const char* children : {"nodes", "floating_nodes"})
            for (const auto& child : node.value(children, nlohmann::json::array()))
                visit(child);
    };
    visit(tree);
    return found;
}

TEST(SwayTrayMenu, OpensAsAFloatingWindowAndClosesAfterAChoice) {
    QtStatusItem item;
    bool chosen = false;
    item.setMenu({{"About Halvo", true, [&] { chosen = true; }, {}, false}});

    Q_EMIT item.trayIcon()->activated(QSystemTrayIcon::Trigger);
    nlohmann::json window;
    ASSERT_TRUE(SwaySession::waitUntil([&] {
        QApplication::processEvents();
        window = ownWindow();
        return !window.is_null();
    }));
    // Tiled, it would fill a whole output.
    EXPECT_EQ(window.value("type", ""), "floating_con");
    EXPECT_EQ(window["rect"].value("width", 0), item.menu()->width());

    item.menu()->actions().front()->trigger();
    EXPECT_TRUE(chosen);
    EXPECT_TRUE(SwaySession::waitUntil([&] {
        QApplication::processEvents();
        return ownWindow().is_null();
    }));
}

} // namespace
} // namespace halvo::test
