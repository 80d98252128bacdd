// The headless sway harness: two outputs side by side, real clients of an unprivileged user,
// screenshots that show them, and a teardown that leaves nothing behind.
#include "sway/SwayTestSession.h"

#include <QImage>
#include <QLibraryInfo>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <unistd.h>

namespace halvo::test {
namespace {

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
};

Box rectOf(const nlohmann::json& node) {
    const auto& r = node.at("rect");
    return {r.at("x"), r.at("y"), r.at("width"), r.at("height")};
}

// The tree node of window `id`.
nlohmann::json findNode(const nlohmann::json& node, long id) {
    if (node.value("id", 0L) == id)
        return node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const auto& child : node.value(children, nlohmann::json::array())) {
            nlohmann::json found = findNode(child, id);
            if (!found.is_null())
                return found;
        }
    }
    return nullptr;
}

uid_t ownerOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("Uid:"))
            return static_cast<uid_t>(std::stoul(line.substr(4)));
    }
    return static_cast<uid_t>(-1);
}

int lightness(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y));
}

TEST(SwaySession, TwoOutputsSideBySide) {
    const nlohmann::json outputs = swaySession().query("get_outputs");
    ASSERT_EQ(outputs.size(), 2u) << outputs.dump();
    std::map<std::string, Box> byName;
    for (const auto& output : outputs)
        byName[output.at("name")] = rectOf(output);
    EXPECT_EQ(byName["HEADLESS-1"].x, 0);
    EXPECT_EQ(byName["HEADLESS-2"].x, 1280);
    for (const auto& [name, box] : byName) {
        EXPECT_EQ(box.y, 0) << name;
        EXPECT_EQ(box.width, 1280) << name;
        EXPECT_EQ(box.height, 1024) << name;
    }
}

// foot and a Qt application run as the session's user (never root, which sway refuses), show up
// in sway's tree, and grim's screenshot shows each where the tree says it is.
TEST(SwaySession, RealClientsShowInTheTreeAndOnScreenshots) {
    SwaySession& session = swaySession();
    const pid_t foot = session.spawn({"foot"});
    const auto footID = session.waitForWindow("foot");
    ASSERT_TRUE(footID);
    const std::string linguist =
        QLibraryInfo::path(QLibraryInfo::BinariesPath).toStdString() + "/linguist";
    const pid_t qt = session.spawn({linguist}, {"QT_QPA_PLATFORM=wayland"});
    const auto qtID = session.waitForWindow("linguist");
    ASSERT_TRUE(qtID);
    if (getuid() == 0) {
        EXPECT_NE(ownerOf(foot), 0u);
        EXPECT_NE(ownerOf(qt), 0u);
    }

    // Both tiled side by side on HEADLESS-1; wait until sway has laid out the second one.
    Box footBox, qtBox;
    ASSERT_TRUE(SwaySession::waitUntil([&] {
        const nlohmann::json tree = session.query("get_tree");
        footBox = rectOf(findNode(tree, *footID));
        qtBox = rectOf(findNode(tree, *qtID));
        return footBox.width == 640 && qtBox.width == 640;
    }));
    const std::string shot = session.folder() + "/clients.png";
    // A client's first frame may lag its place in the tree: wait for both to be drawn.
    QImage image;
    const bool drawn = SwaySession::waitUntil([&] {
        if (!session.screenshot(shot, "HEADLESS-1") || !image.load(QString::fromStdString(shot)))
            return false;
        // foot draws a dark terminal, linguist light widgets.
        return lightness(image, footBox.x + footBox.width / 2, footBox.y + footBox.height / 2) <
                   64 &&
               lightness(image, qtBox.x + qtBox.width / 2, qtBox.y + qtBox.height / 2) > 192;
    });
    EXPECT_TRUE(drawn);
    EXPECT_EQ(image.size(), QSize(1280, 1024));
    session.kill(foot);
    session.kill(qt);
}

TEST(SwaySession, EndingASessionEndsSwayAndRemovesItsFolder) {
    std::string folder;
    pid_t sway = -1;
    pid_t client = -1;
    {
        SwaySession::Options options;
        options.twoOutputs = false;
        SwaySession session(options);
        ASSERT_TRUE(session.ok()) << session.error();
        folder = session.folder();
        sway = session.swayProcess();
        client = session.spawn({"foot"});
        ASSERT_TRUE(session.waitForWindow("foot"));
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_NE(::kill(sway, 0), 0);
    EXPECT_NE(::kill(client, 0), 0);
}

} // namespace
} // namespace halvo::test
