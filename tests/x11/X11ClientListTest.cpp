// Client-list reads that keep each window's values: a steady read asks no window anything, and a
// change another client makes shows in the very next read, its events unread or not.
#include "platform/x11/X11ClientList.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Property.h"
#include "support/FakeX11Client.h"
#include "support/XRequestCount.h"
#include "support/XvfbSession.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace halvo;
using halvo::test::FakeX11Client;
using halvo::test::XvfbSession;

namespace {

template <typename Work> unsigned requestsOf(X11Connection& connection, Work&& work) {
    return test::requestsSentBy(connection.xcb(), std::forward<Work>(work));
}

std::size_t windowsOf(const X11ClientList& list, const std::string& wmClass) {
    for (const auto& app : list.applications()) {
        if (app.wmClass == wmClass)
            return app.windows.size();
    }
    return 0;
}

} // namespace

TEST(X11ClientList, KeptValuesAskOnlyForWhatChangedAndFollowChangesMadeElsewhere) {
    XvfbSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    FakeX11Client::spawn(session, {.windows = 12, .wmClass = "Kept"});
    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(connection) << error;
    auto other = X11Connection::open(session.display().c_str(), error);
    ASSERT_TRUE(other) << error;
    ASSERT_TRUE(XvfbSession::waitUntil(
        [&] { return windowsOf(X11ClientList::read(*connection, getpid()), "Kept") == 12; }));

    connection->keepClientProperties();
    const X11ClientList first = X11ClientList::read(*connection, getpid(), true);
    ASSERT_EQ(windowsOf(first, "Kept"), 12u);
    // The four root properties, and nothing of the twelve windows.
    EXPECT_EQ(requestsOf(*connection, [&] { X11ClientList::read(*connection, getpid(), true); }),
              4u);

    // Another client renames one window; nobody dispatches this
    // connection's events before the next read.
    const xcb_window_t renamed = first.applications().front().windows.front().id;
    const std::string both("renamed\0Renamed\0", 16);
    xcb_change_property(other->xcb(), XCB_PROP_MODE_REPLACE, renamed, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(both.size()), both.data());
    free(xcb_get_input_focus_reply(other->xcb(), xcb_get_input_focus(other->xcb()), nullptr));

    X11ClientList next;
    // Four root properties and the one changed property of one window.
    EXPECT_EQ(requestsOf(*connection, [&] { next = X11ClientList::read(*connection, getpid()); }),
              5u);
    EXPECT_EQ(windowsOf(next, "Kept"), 11u);
    EXPECT_EQ(windowsOf(next, "Renamed"), 1u);
    EXPECT_EQ(next.owner(renamed)->wmClass, "Renamed");
}
