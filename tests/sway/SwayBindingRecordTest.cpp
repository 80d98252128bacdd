// The binding record, whose lines become sway commands: only combinations are read from it, and
// only from a small regular file of the user in a folder nobody else may enter.
#include "platform/sway/SwayBindingRecord.h"

#include "platform/sim/SimLog.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace halvo {
namespace {

namespace fs = std::filesystem;

TEST(SwayBindingRecord, OnlyModifiersAndOneArrowAreACombination) {
    for (const char* text :
         {"Ctrl+Mod1+Left", "Mod4+Right", "Shift+Ctrl+Mod4+Mod1+Up", "Ctrl+Down"})
        EXPECT_TRUE(SwayBindingRecord::isCombination(text)) << text;
    for (const char* text :
         {"", "Left", "Ctrl+", "Ctrl+Mod1+Left; exec touch /tmp/pwned", "Ctrl+Mod1+Left exec x",
          "Ctrl+Ctrl+Left", "Ctrl+Mod1+Return", "Ctrl+Left+Right", "ctrl+left", "Ctrl+Mod1+Left\r",
          "--release Ctrl+Left", "$mod+Left", "Ctrl+Mod1+Left,exec x"})
        EXPECT_FALSE(SwayBindingRecord::isCombination(text)) << text;
}

// A folder of this user with mode 0700, a record file in it made by `make`.
struct RecordFile {
    std::string name;
    std::function<void(const std::string& folder, const std::string& file)> make;
    bool read; // whether a record comes back
};

void PrintTo(const RecordFile& row, std::ostream* out) {
    *out << row.name;
}

class SwayBindingRecordFile : public testing::TestWithParam<RecordFile> {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/halvo-record-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder, fs::perms(0700), ignored);
        fs::remove_all(folder, ignored);
    }
    std::string folder;
};

const std::string goodRecord = "/run/sway-ipc.sock\nCtrl+Mod1+Left\nCtrl+Mod1+Right\n";

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

TEST_P(SwayBindingRecordFile, IsReadOnlyWhenItIsTheUsersOwn) {
    const std::string file = folder + "/halvo-sway-bindings";
    GetParam().make(folder, file);
    SimLog log;
    const std::optional<SwayBindingRecord> record = SwayBindingRecord::read(file, log);
    ASSERT_EQ(record.has_value(), GetParam().read);
    if (record) {
        EXPECT_EQ(record->socketPath, "/run/sway-ipc.sock");
        EXPECT_EQ(record->combinations,
                  (std::vector<std::string>{"Ctrl+Mod1+Left", "Ctrl+Mod1+Right"}));
    }
    EXPECT_EQ(log.lines().size(),
              GetParam().name == "good" || GetParam().name == "missing" ? 0u : 1u)
        << testing::PrintToString(log.lines());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwayBindingRecordFile,
    testing::Values(RecordFile{"good",
                               [](const std::string&, const std::string& file) {
                                   writeText(file, goodRecord);
                               },
                               true},
                    RecordFile{"missing", [](const std::string&, const std::string&) {}, false},
                    RecordFile{"hostile_line_left_out",
                               [](const std::string&, const std::string& file) {
                                   writeText(file,
                                             goodRecord + "Ctrl+Mod1+Up; exec touch /tmp/pwned\n");
                               },
                               true},
                    // open() would wait for a writer for ever.
                    RecordFile{"fifo",
                               [](const std::string&, const std::string& file) {
                                   ::mkfifo(file.c_str(), 0600);
                               },
                               false},
                    RecordFile{"link",
                               [](const std::string& folder, const std::string& file) {
                                   writeText(folder + "/elsewhere", goodRecord);
                                   fs::create_symlink(folder + "/elsewhere", file);
                               },
                               false},
                    RecordFile{"larger_than_4096_bytes",
                               [](const std::string&, const std::string& file) {
                                   std::string text = goodRecord;
                                   while (text.size() <= SwayBindingRecord::maxSize)
                                       text += "Ctrl+Mod1+Left\n";
                                   writeText(file, text);
                               },
                               false},
                    RecordFile{"folder_others_may_enter",
                               [](const std::string& folder, const std::string& file) {
                                   writeText(file, goodRecord);
                                   fs::permissions(folder, fs::perms(0755));
                               },
                               false},
                    // Only root can give a file away; other users see this case read as "good".
                    RecordFile{"file_of_another_user",
                               [](const std::string&, const std::string& file) {
                                   writeText(file, goodRecord);
                                   if (::geteuid() == 0 && ::chown(file.c_str(), 65534, 65534) != 0)
                                       std::remove(file.c_str());
                               },
                               ::geteuid() != 0}),
    [](const testing::TestParamInfo<RecordFile>& row) { return row.param.name; });

// What write() leaves reads back as the same record, and a link in its place is replaced rather
// than written through.
TEST(SwayBindingRecord, WriteReplacesALinkAndReadsBack) {
    std::string pattern = "/tmp/halvo-record-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string folder = pattern;
    const std::string file = folder + "/halvo-sway-bindings";
    writeText(folder + "/target", "kept");
    fs::create_symlink(folder + "/target", file);
    SimLog log;
    const SwayBindingRecord written{"/run/sway-ipc.sock", {"Ctrl+Mod1+Left", "Mod4+Down"}};
    ASSERT_TRUE(written.write(file, log)) << testing::PrintToString(log.lines());
    const std::optional<SwayBindingRecord> read = SwayBindingRecord::read(file, log);
    ASSERT_TRUE(read.has_value()) << testing::PrintToString(log.lines());
    EXPECT_EQ(read->socketPath, written.socketPath);
    EXPECT_EQ(read->combinations, written.combinations);
    std::string target;
    std::getline(std::ifstream(folder + "/target"), target);
    EXPECT_EQ(target, "kept");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
} // namespace halvo
