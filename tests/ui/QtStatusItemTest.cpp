// The tray menu across permission polls: the same entries keep the same menu, and an open menu
// (also one a StatusNotifierItem host opened over D-Bus) keeps its entries until it closes.
#include "platform/linux/QtStatusItem.h"

#include "support/XvfbSession.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

namespace halvo {
namespace {

std::vector<StatusMenuItem> entries(bool trusted, int& opened) {
    std::vector<StatusMenuItem> items;
    if (!trusted) {
        items.push_back({"Accessibility permission required", false, nullptr, "", false});
        items.push_back(StatusMenuItem::separator());
    }
    items.push_back({"Preferences…", true, [&opened] { ++opened; }, ",", false});
    items.push_back(StatusMenuItem::separator());
    items.push_back({"Quit Halvo", true, [] {}, "q", false});
    return items;
}

QStringList titles(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions())
        result << action->text();
    return result;
}

TEST(QtStatusItemTest, TheMenuIsRebuiltOnlyWhenItChangesAndIsClosed) {
    QtStatusItem item;
    int opened = 0;
    item.setMenu(entries(true, opened));
    const QList<QAction*> first = item.menu()->actions();
    ASSERT_EQ(first.size(), 3);

    int openedByPoll = 0;
    item.setMenu(entries(true, openedByPoll));
    EXPECT_EQ(item.menu()->actions(), first) << "a poll with the same entries keeps the menu";
    item.menu()->actions().front()->trigger();
    EXPECT_EQ(openedByPoll, 1) << "the entries call the callbacks given last";

    // A StatusNotifierItem host opens the exported menu: the QMenu widget itself never shows,
    // its platform menu emits aboutToShow and aboutToHide.
    ASSERT_FALSE(item.menu()->isVisible());
    Q_EMIT item.menu()->aboutToShow();
    item.setMenu(entries(false, opened));
    EXPECT_EQ(item.menu()->actions(), first) << "an open menu keeps its entries";
    Q_EMIT item.menu()->aboutToHide();
    ASSERT_TRUE(test::XvfbSession::waitUntil([&] {
        QApplication::processEvents();
        return item.menu()->actions().size() == 5;
    }));
    EXPECT_EQ(titles(item.menu()).front(), QStringLiteral("Accessibility permission required"));
}

} // namespace
} // namespace halvo
