// sway's events reach Halvo's main thread through SwayIpcEvents: a window event when a real
// client maps, a new connection when sway drops a subscriber that reads too slowly, and the end
// of the connection when the socket goes away.
#include "platform/sway/SwayIpcEvents.h"

#include "platform/i3ipc/I3IpcClient.h"
#include "sway/SwayTestSession.h"

#include <QCoreApplication>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace halvo::test {
namespace {

bool processEventsUntil(const std::function<bool()>& pred, double seconds = 15.0) {
    return SwaySession::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return pred();
        },
        seconds);
}

TEST(SwayIpcEvents, WindowEventArrivesWhenFootMaps) {
    SwaySession& session = swaySession();
    SwayIpcEvents events(session.swaySocket(), {"window"});
    ASSERT_TRUE(events.ok()) << events.error();
    std::vector<nlohmann::json> seen;
    events.on("window", [&](const nlohmann::json& event) { seen.push_back(event); });
    const pid_t foot = session.spawn({"foot", "--app-id", "halvo-events-foot"});
    const auto mapped = [&] {
        for (const nlohmann::json& event : seen) {
            if (event.value("change", "") == "new" &&
                event["container"].value("app_id", "") == "halvo-events-foot")
                return true;
        }
        return false;
    };
    EXPECT_TRUE(processEventsUntil(mapped));
    session.kill(foot);
    EXPECT_TRUE(events.ok());
}

// sway drops a subscriber that leaves 4 MiB of events unread, as a main thread busy for a moment
// does while a client retitles its window thousands of times a second. sway is still there: the
// events connect again (once) and keep coming; nothing counts as lost.
TEST(SwayIpcEvents, DroppedForEventsLeftUnreadConnectsAgain) {
    SwaySession& session = swaySession();
    SwayIpcEvents events(session.swaySocket(), {"tick"});
    ASSERT_TRUE(events.ok()) << events.error();
    int lost = 0;
    int reconnected = 0;
    std::string lastTick;
    events.onLost([&] { ++lost; });
    events.onReconnected([&] { ++reconnected; });
    events.on("tick", [&](const nlohmann::json& event) { lastTick = event.value("payload", ""); });

    // Six MiB of ticks while nothing reads them (SEND_TICK is message type 10).
    const auto sendTick = static_cast<I3IpcMessage::Type>(10);
    I3IpcClient sender(session.swaySocket());
    const std::string bulk(64 * 1024, 'x');
    for (int i = 0; i < 96; ++i)
        sender.request(sendTick, bulk);
    EXPECT_TRUE(processEventsUntil([&] { return lost + reconnected > 0; }, 10));
    sender.request(sendTick, "after");
    EXPECT_TRUE(processEventsUntil([&] { return lastTick == "after"; }, 10));
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(reconnected, 1);
    EXPECT_TRUE(events.ok()) << events.error();
}

TEST(SwayIpcEvents, ARefusedSubscriptionOrAMissingSocketIsAnError) {
    SwayIpcEvents missing("/nonexistent/sway-ipc.sock", {"window"});
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error().find("/nonexistent/sway-ipc.sock"), std::string::npos);
    SwayIpcEvents unknown(swaySession().swaySocket(), {"no-such-event"});
    EXPECT_FALSE(unknown.ok());
    EXPECT_FALSE(unknown.error().empty());
}

// A peer that accepts the subscription and then sends bytes that are not i3 IPC: the connection
// counts as lost, once, instead of waiting for a frame that never makes sense.
TEST(SwayIpcEvents, GarbageAfterTheSubscriptionLosesTheConnection) {
    char dir[] = "/tmp/halvo-events-XXXXXX";
    const std::string path = std::string(mkdtemp(dir)) + "/ipc";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    listen(listener, 1);
    int client = -1; // kept open, so that only the garbage can end the connection
    std::thread peer([&] {
        client = accept(listener, nullptr, nullptr);
        char request[256];
        recv(client, request, sizeof request, 0);
        const std::string ok = R"({"success":true})";
        std::string reply = "i3-ipc";
        const std::uint32_t length = static_cast<std::uint32_t>(ok.size()), type = 2;
        reply.append(reinterpret_cast<const char*>(&length), 4);
        reply.append(reinterpret_cast<const char*>(&type), 4);
        reply += ok + "this is not a frame at all";
        send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    });
    SwayIpcEvents events(path, {"window"});
    peer.join();
    ASSERT_TRUE(events.ok()) << events.error();
    int lost = 0;
    events.onLost([&] { ++lost; });
    EXPECT_TRUE(processEventsUntil([&] { return lost > 0; }, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(events.ok());
    EXPECT_NE(events.error().find("magic"), std::string::npos) << events.error();
    close(client);
    close(listener);
    unlink(path.c_str());
    rmdir(dir);
}

} // namespace
} // namespace halvo::test
