// The kept tree and commands sent while it is read: a tree asked for before an invalidation is
// never kept. A stand-in for sway's socket holds the first get_tree's answer back, so the order of
// the race is certain.
#include "platform/sway/SwayTreeCache.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace halvo {
namespace {

using nlohmann::json;

// Answers subscriptions with success and each get_tree, once the test hands it an app_id, with a
// tree of one window of that app.
class HeldBackSway {
public:
    // With `fill`, a subscription is answered and then sent window events until its socket
    // takes no more.
    explicit HeldBackSway(std::string path, bool fill = false)
        : m_path(std::move(path)), m_fill(fill) {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 8) == 0)
            m_acceptor = std::thread([this] { acceptAll(); });
    }
    ~HeldBackSway() {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        ::shutdown(m_listener, SHUT_RDWR);
        if (m_acceptor.joinable())
            m_acceptor.join();
        for (int fd : m_connections)
            ::shutdown(fd, SHUT_RDWR);
        for (std::thread& thread : m_threads)
            thread.join();
        for (int fd : m_connections)
            ::close(fd);
        ::close(m_listener);
        ::unlink(m_path.c_str());
    }

    // The next get_tree waiting (or to come) is answered with a window of `appID`.
    void answerTree(const std::string& appID) {
        std::lock_guard lock(m_mutex);
        m_answers.push_back(appID);
        m_changed.notify_all();
    }
    bool waitUntilFull() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_full; });
    }
    bool waitForTreeRequests(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return m_treeRequests >= count; });
    }

private:
    void acceptAll() {
        while (true) {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            std::lock_guard lock(m_mutex);
            m_connections.push_back(fd);
            m_threads.emplace_back([this, fd] { serve(fd); });
        }
    }
    static bool readAll(int fd, char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::read(fd, data, size);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    static void reply(int fd, std::uint32_t type, const std::string& payload) {
        std::string message = "i3-ipc";
        const auto length = static_cast<std::uint32_t>(payload.size());
        message.append(reinterpret_cast<const char*>(&length), 4);
        message.append(reinterpret_cast<const char*>(&type), 4);
        message += payload;
        [[maybe_unused]] const ssize_t sent =
            ::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
    }
    static std::string tree(const std::string& appID) {
        const json rect = {{"x", 0}, {"y", 0}, {"width", 800}, {"height", 600}};
        const json window = {{"id", 10},
                             {"type", "con"},
                             {"name", appID},
                             {"app_id", appID},
                             {"pid", 100},
                             {"rect", rect},
                             {"focused", true},
                             {"nodes", json::array()},
                             {"shell", "xdg_shell"},
                             {"fullscreen_mode", 0}};
        const json workspace = {{"id", 3},
                                {"type", "workspace"},
                                {"name", "1"},
                                {"nodes", {window}},
                                {"floating_nodes", json::array()},
                                {"focus", {10}}};
        const json output = {{"id", 2},
                             {"type", "output"},
                             {"name", "HEADLESS-1"},
                             {"rect", rect},
                             {"nodes", {workspace}}};
        return json{{"id", 1}, {"type", "root"}, {"nodes", {output}}}.dump();
    }
    void serve(int fd) {
        constexpr std::uint32_t subscribe = 2, getTree = 4;
        char header[14];
        while (readAll(fd, header, sizeof header)) {
            std::uint32_t length = 0, type = 0;
            std::memcpy(&length, header + 6, 4);
            std::memcpy(&type, header + 10, 4);
            std::string payload(length, '\0');
            if (!readAll(fd, payload.data(), length))
                return;
            if (type == subscribe) {
                reply(fd, type, R"({"success": true})");
                if (m_fill)
                    fill(fd);
                continue;
            }
            if (type != getTree)
                return;
            std::unique_lock lock(m_mutex);
            ++m_treeRequests;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_closing || !m_answers.empty(); });
            if (m_closing)
                return;
            const std::string appID = m_answers.front();
            m_answers.pop_front();
            lock.unlock();
            reply(fd, type, tree(appID));
        }
    }

    // Window events of a client retitling its window, as many as the socket takes.
    void fill(int fd) {
        constexpr std::uint32_t windowEvent = 0x80000003;
        const std::string payload =
            json{{"change", "title"}, {"container", {{"id", 11}, {"name", std::string(1500, 't')}}}}
                .dump();
        std::string message = "i3-ipc";
        const auto length = static_cast<std::uint32_t>(payload.size());
        message.append(reinterpret_cast<const char*>(&length), 4);
        message.append(reinterpret_cast<const char*>(&windowEvent), 4);
        message += payload;
        while (::send(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
               static_cast<ssize_t>(message.size())) {
        }
        std::lock_guard lock(m_mutex);
        m_full = true;
        m_changed.notify_all();
    }

    std::string m_path;
    bool m_fill = false;
    bool m_full = false;
    int m_listener = -1;
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_connections;
    std::vector<std::thread> m_threads;
    std::deque<std::string> m_answers;
    int m_treeRequests = 0;
    bool m_closing = false;
};

// A worker reads the tree; a command (a floating move) is sent and the tree invalidated before
// sway's answer arrives, and no event about it has come yet. The next read must ask again.
TEST(SwayTreeCache, ATreeReadBeforeAnInvalidationIsNotKept) {
    const std::string path = "/tmp/halvo-held-back-sway-" + std::to_string(::getpid());
    HeldBackSway sway(path);
    SwayIpcPool pool(path);
    SwayIpcEvents events(path, {"window", "workspace"});
    ASSERT_TRUE(events.ok()) << events.error();
    SwayTreeCache cache(pool, events, ::getpid());

    std::optional<SwayClientList> early;
    std::thread worker([&] { early = cache.read(); });
    ASSERT_TRUE(sway.waitForTreeRequests(1));
    cache.invalidate();
    sway.answerTree("before");
    worker.join();
    ASSERT_TRUE(early.has_value());
    EXPECT_EQ(early->applications().at(0).appKey, "before");

    sway.answerTree("after");
    const std::optional<SwayClientList> late = cache.read();
    ASSERT_TRUE(late.has_value());
    EXPECT_EQ(late->applications().at(0).appKey, "after");
}

// A client flooding sway with events fills Halvo's event socket; sway then keeps the events that
// follow, the one of a focus change among them, in its own buffer, where they cannot be counted.
// While so much waits unread, the kept tree is not trusted.
TEST(SwayTreeCache, ATreeIsReadAgainWhileTheEventSocketIsFull) {
    const std::string path = "/tmp/halvo-full-sway-" + std::to_string(::getpid());
    HeldBackSway sway(path, true);
    SwayIpcPool pool(path);
    SwayIpcEvents events(path, {"window"});
    ASSERT_TRUE(events.ok()) << events.error();
    ASSERT_TRUE(sway.waitUntilFull());
    SwayTreeCache cache(pool, events, ::getpid());

    sway.answerTree("before");
    ASSERT_EQ(cache.read()->applications().at(0).appKey, "before");
    sway.answerTree("after");
    EXPECT_EQ(cache.read()->applications().at(0).appKey, "after");
}

} // namespace
} // namespace halvo
