// i3's IPC as Halvo speaks it: replies parsed or refused with an I3IpcError, the framing against
// a scripted peer on a real socket (oversized, truncated, silent), and commands that keep output
// names from reading as directions. Also herbstclient's monitor list.
#include "platform/i3ipc/I3Command.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/i3ipc/I3Reply.h"
#include "platform/x11/HerbstclientMonitors.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace halvo;

namespace {

std::string nested(int depth) {
    std::string json;
    for (int i = 0; i < depth; ++i)
        json += R"({"id":1,"nodes":[)";
    json += R"({"id":2})";
    for (int i = 0; i < depth; ++i)
        json += "]}";
    return json;
}

// A Unix socket whose one client gets `reply` (raw bytes) after sending its request, then the
// connection stays open until the test ends, so a short reply must time out, not hang.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::string reply) {
        char dir[] = "/tmp/halvo-i3-XXXXXX";
        path = std::string(mkdtemp(dir)) + "/ipc";
        m_listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, path.size());
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 1);
        m_thread = std::thread([this, reply = std::move(reply)] {
            m_client = accept(m_listener, nullptr, nullptr);
            char request[64];
            if (recv(m_client, request, sizeof request, 0) > 0 && !reply.empty())
                send(m_client, reply.data(), reply.size(), MSG_NOSIGNAL);
        });
    }
    ~ScriptedPeer() {
        m_thread.join();
        close(m_client);
        close(m_listener);
        unlink(path.c_str());
        rmdir(path.substr(0, path.rfind('/')).c_str());
    }
    std::string path;

private:
    int m_listener = -1;
    int m_client = -1;
    std::thread m_thread;
};

std::string frame(std::uint32_t type, std::uint32_t length, const std::string& payload) {
    std::string bytes = "i3-ipc";
    bytes.append(reinterpret_cast<const char*>(&length), 4);
    bytes.append(reinterpret_cast<const char*>(&type), 4);
    return bytes + payload;
}

} // namespace

TEST(I3IpcTest, TreeRepliesAreParsedOrRefused) {
    const I3Node tree = I3Reply::tree(R"({"id":1,"type":"root","nodes":[
        {"id":2,"type":"output","name":"DUMMY1","rect":{"x":1280,"y":0,"width":1280,"height":1024},
         "nodes":[{"id":3,"type":"workspace","floating_nodes":[
             {"id":4,"type":"floating_con","nodes":[{"id":5,"window":4194307}]}],
           "nodes":[{"id":6,"window":4194318,"future_field":[1,2]}]}]}]})");
    ASSERT_NE(tree.findWindow(4194318), nullptr);
    EXPECT_EQ(tree.findWindow(4194318)->id, 6);
    EXPECT_FALSE(tree.findWindow(4194318)->floating);
    ASSERT_NE(tree.findWindow(4194307), nullptr);
    EXPECT_TRUE(tree.findWindow(4194307)->floating) << "inside a floating container";
    EXPECT_EQ(tree.findWindow(99), nullptr);
    EXPECT_EQ(tree.children.front().rect.x, 1280);

    EXPECT_NO_THROW(I3Reply::tree(nested(I3Reply::maxDepth / 2 - 1)));
    for (const std::string& bad :
         {std::string(R"({"id":1,"nodes":[)"), std::string(R"([1,2])"),
          std::string(R"({"id":"1"})"), std::string(R"({"id":1,"window":-5})"),
          std::string(R"({"id":1,"nodes":{"id":2}})"), std::string(R"({"id":1,"rect":{"x":"0"}})"),
          nested(I3Reply::maxDepth), std::string(1 << 20, '[')}) {
        EXPECT_THROW(I3Reply::tree(bad), I3IpcError) << bad.substr(0, 60);
    }
}

TEST(I3IpcTest, OutputAndCommandReplies) {
    const auto outputs = I3Reply::outputs(R"([{"name":"xroot-0","active":false,"rect":null},
        {"name":"DUMMY1","active":true,"current_workspace":"2",
         "rect":{"x":1280,"y":0,"width":1280,"height":1024}}])");
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_FALSE(outputs[0].active);
    EXPECT_EQ(outputs[1].currentWorkspace, "2");
    EXPECT_EQ(outputs[1].rect.width, 1280);
    const auto results =
        I3Reply::commands(R"([{"success":true},{"success":false,"error":"No output matched"}])");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].success);
    EXPECT_EQ(results[1].error, "No output matched");
    EXPECT_THROW(I3Reply::commands(R"({"success":true})"), I3IpcError);
    EXPECT_THROW(I3Reply::commands(R"([{"error":"x"}])"), I3IpcError);
    EXPECT_THROW(I3Reply::outputs(R"([{"name":3}])"), I3IpcError);
}

TEST(I3IpcTest, ClientReadsFramedRepliesAndBoundsBadOnes) {
    struct Case {
        const char* what;
        std::string reply;
        const char* error; // null: the reply is read
    };
    const std::string tree = R"({"id":7,"window":42})";
    const Case cases[] = {
        {"a whole reply", frame(4, std::uint32_t(tree.size()), tree), nullptr},
        {"a reply longer than the limit", frame(4, 1u << 30, ""), "larger than the limit"},
        {"a reply of another type", frame(1, 2, "{}"), "of type 1"},
        {"wrong magic", "i3-ipX" + frame(4, 2, "{}").substr(6), "wrong magic"},
        {"a reply cut short", frame(4, 100, "{"), "no answer within"},
        {"no reply", "", "no answer within"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        ScriptedPeer peer(test.reply);
        I3IpcClient client(peer.path, std::chrono::milliseconds(300));
        const auto started = std::chrono::steady_clock::now();
        try {
            EXPECT_EQ(client.tree().findWindow(42)->id, 7);
            EXPECT_EQ(test.error, nullptr);
        } catch (const I3IpcError& error) {
            ASSERT_NE(test.error, nullptr) << error.what();
            EXPECT_NE(std::string(error.what()).find(test.error), std::string::npos)
                << error.what();
            // Only silence is a timeout: a window manager that is there but swamped.
            EXPECT_EQ(error.kind() == I3IpcError::Kind::timedOut,
                      std::string(test.error) == "no answer within");
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
    EXPECT_THROW(I3IpcClient("/nonexistent/i3/ipc"), I3IpcError);
}

TEST(I3IpcTest, MoveCommandsNameOutputsUnambiguously) {
    struct Case {
        I3Output target;
        const char* command;
    };
    const Case cases[] = {
        {{"DUMMY1", true, {}, "2"}, R"([con_id=9] move container to output "DUMMY1")"},
        // i3 would read these as a direction or a role, quoted or not.
        {{"RIGHT", true, {}, "2"}, R"([con_id=9] move container to workspace "2")"},
        {{"Primary", true, {}, R"(my "ws")"},
         R"([con_id=9] move container to workspace "my \"ws\"")"},
        {{R"(odd"name\)", true, {}, "1"}, R"([con_id=9] move container to output "odd\"name\\")"},
    };
    for (const Case& test : cases)
        EXPECT_EQ(I3Command::moveToOutput(9, test.target), test.command);
}

TEST(HerbstclientMonitorsTest, ParsesTagsOfMonitors) {
    const auto monitors =
        HerbstclientMonitors::parse("0: 1280x1024+0+0 with tag \"1\" [FOCUS]\n"
                                    "garbage\n"
                                    "1: 1280x1024+1280+0 with tag \"my \"tag\"\n");
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0].tag, "1");
    EXPECT_EQ(monitors[1].rootFrame.x, 1280);
    EXPECT_EQ(monitors[1].tag, "my \"tag");
}
