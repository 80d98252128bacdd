// The program's start when its settings file is damaged, huge or cannot be written: it comes up,
// and nothing the user had is lost. (A shortcut another client owns is a lifecycle test.)
#include "support/HalvoDesktop.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// xterm and xlogo (in front) on a private desktop; start() runs halvo on it.
class FaultSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.ok() && desktop.startClients(HalvoDesktop::twoClients))
            << desktop.error();
    }
    void start() {
        halvo = desktop.startHalvo();
        ASSERT_TRUE(desktop.started(*halvo)) << "halvo did not start:\n" << halvo->log();
    }
    fs::path settingsFile() const { return desktop.settingsPath(); }
    // The program records the apps it has seen in its order as soon as it has looked at the
    // desktop.
    bool orderSaved() {
        return desktop.watcher().waitFor(
            [&] {
                return contents(settingsFile()).find("halvo.customAppOrder") != std::string::npos;
            },
            10);
    }

    HalvoDesktop desktop;
    std::unique_ptr<HalvoProgram> halvo;
};

struct DamagedFile {
    const char* name;
    std::string text;
};

void PrintTo(const DamagedFile& file, std::ostream* out) {
    *out << file.name;
}

std::string tenMegabytesOfGarbage() {
    std::string garbage(10 * 1024 * 1024, '[');
    for (std::size_t i = 0; i < garbage.size(); i += 7)
        garbage[i] = static_cast<char>(i * 31);
    return garbage;
}

class DamagedSettingsTest : public FaultSettingsTest,
                            public testing::WithParamInterface<DamagedFile> {};

} // namespace

TEST_P(DamagedSettingsTest, IsKeptAsideWhileDefaultsAreUsed) {
    const std::string& damaged = GetParam().text;
    desktop.writeSettings(damaged);
    start();

    EXPECT_TRUE(halvo->waitForLog("is not a JSON object; using default settings. It will be kept "
                                  "as defaults.json.corrupt"))
        << halvo->log().substr(0, 4096);
    // The default combination works, and the newcomers are stored in a fresh file.
    EXPECT_TRUE(desktop.switchOnce());
    ASSERT_TRUE(orderSaved());
    fs::path corrupt = settingsFile();
    corrupt += ".corrupt";
    EXPECT_TRUE(contents(corrupt) == damaged) << "the damaged file was not kept as it was";
}

INSTANTIATE_TEST_SUITE_P(
    FaultSettingsTest, DamagedSettingsTest,
    testing::Values(DamagedFile{"truncated",
                                "{\"halvo.customAppOrder\": [\"XTerm\", \x01\xff truncated"},
                    DamagedFile{"tenMegabytesOfGarbage", tenMegabytesOfGarbage()}),
    [](const testing::TestParamInfo<DamagedFile>& param) { return std::string(param.param.name); });

TEST_F(FaultSettingsTest, TenMegabyteFileIsReadAndKeptWhole) {
    // Another program's key beside Halvo's own: ten megabytes that must survive Halvo's writes.
    const std::string bulk(10 * 1024 * 1024, 'x');
    desktop.writeSettings("{\"halvo.minimapTheme\": \"dark\", \"other.notes\": \"" + bulk + "\"}");
    const auto begin = std::chrono::steady_clock::now();
    start();
    std::printf("started with a 10 MB settings file in %.2f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());

    EXPECT_TRUE(desktop.switchOnce());
    ASSERT_TRUE(orderSaved());
    const std::string after = contents(settingsFile());
    EXPECT_NE(after.find(bulk), std::string::npos) << "the other key was lost";
    EXPECT_NE(after.find("\"halvo.minimapTheme\": \"dark\""), std::string::npos);
}

TEST_F(FaultSettingsTest, StartsWhenTheSettingsFolderCannotBeMade) {
    // A file where the settings folder belongs: no folder can be made there, not even by root.
    const fs::path folder = fs::path(desktop.configHome()) / "halvo";
    std::ofstream(folder) << "in the way";
    start();

    EXPECT_TRUE(desktop.switchOnce());
    EXPECT_TRUE(halvo->waitForLog("settings are kept until Halvo quits")) << halvo->log();
    EXPECT_EQ(contents(folder), "in the way");
    EXPECT_TRUE(halvo->running());
    EXPECT_TRUE(desktop.switchOnce());
}

TEST_F(FaultSettingsTest, ReadOnlySettingsFolderKeepsTheFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    const std::string stored = "{\"halvo.customAppOrder\": [\"org.example.Kept\"]}";
    desktop.writeSettings(stored);
    fs::permissions(settingsFile().parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    start();

    EXPECT_TRUE(desktop.switchOnce());
    EXPECT_TRUE(halvo->waitForLog("settings are kept until Halvo quits")) << halvo->log();
    EXPECT_EQ(contents(settingsFile()), stored);
}
