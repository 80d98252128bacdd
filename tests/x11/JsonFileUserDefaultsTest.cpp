// The JSON settings file on real files: corrupt and mistyped contents, large files, folders that
// cannot be written, and readers that race the writer.
#include "platform/linux/JsonFileUserDefaults.h"

#include "core/AppOrderStore.h"
#include "platform/sim/SimLog.h"
#include "settings/AppPreferences.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace halvo;
namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "halvo-defaults-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
        fs::permissions(m_path, fs::perms(0755));
    }
    ~TempFolder() {
        std::error_code error;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(m_path, error);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(JsonFileUserDefaults, RoundTripsKeysAndTypesAndKeepsUnknownKeys) {
    TempFolder folder;
    const fs::path file = folder.path() / "halvo" / "defaults.json";
    fs::create_directories(file.parent_path());
    writeFile(file, R"({"other.tool": {"nested": [1, 2]}, "halvo.minimapTheme": "dark"})");
    SimLog log;
    {
        JsonFileUserDefaults defaults(file, log);
        EXPECT_EQ(defaults.stringForKey("halvo.minimapTheme"), "dark");
        EXPECT_EQ(defaults.objectForKey("other.tool"), DefaultsValue(std::monostate{}));
        defaults.setObject("halvo.shortcutModifiers", 12.0);
        defaults.setObject("halvo.customAppOrder", std::vector<std::string>{"XTerm", "XLogo"});
    }
    const auto json = nlohmann::json::parse(readFile(file));
    EXPECT_TRUE(json["halvo.shortcutModifiers"].is_number_integer()) << json.dump();
    EXPECT_EQ(json["other.tool"]["nested"][1], 2);
    JsonFileUserDefaults reread(file, log);
    EXPECT_EQ(reread.objectForKey("halvo.shortcutModifiers"), DefaultsValue(12.0));
    EXPECT_EQ(reread.stringArrayForKey("halvo.customAppOrder"),
              (std::vector<std::string>{"XTerm", "XLogo"}));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(fs::exists(file.string() + ".corrupt"));
}

TEST(JsonFileUserDefaults, CorruptOrNonObjectFileReadsEmptyAndIsKeptBeforeTheNextWrite) {
    // The last one nests so deep that writing its unknown key back would recurse 100,000 times.
    const std::string texts[] = {"{\"halvo.minimapTheme\": \"dark\"", "[1, 2, 3]", "\"dark\"",
                                 std::string("\xff\xfe garbage\0", 12),
                                 "{\"note\": " + std::string(100000, '[') +
                                     std::string(100000, ']') + "}"};
    for (const std::string& text : texts) {
        TempFolder folder;
        const fs::path file = folder.path() / "defaults.json";
        writeFile(file, text);
        SimLog log;
        JsonFileUserDefaults defaults(file, log);
        EXPECT_EQ(defaults.objectForKey("halvo.minimapTheme"), std::nullopt);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0].rfind("Halvo: ", 0), 0u);
        EXPECT_EQ(readFile(file), text) << "nothing is written while reading";

        defaults.setObject("halvo.minimapTheme", std::string("light"));
        EXPECT_EQ(readFile(file.string() + ".corrupt"), text);
        EXPECT_EQ(JsonFileUserDefaults(file, log).stringForKey("halvo.minimapTheme"), "light");
        defaults.setObject("halvo.minimapTheme", std::string("dark"));
        EXPECT_EQ(readFile(file.string() + ".corrupt"), text) << "set aside only once";
    }
}

// A defaults.json that a dotfile manager links into its own folder stays a link, and the file it
// points to keeps its mode.
TEST(JsonFileUserDefaults, LinkedFileStaysALinkAndKeepsItsMode) {
    TempFolder folder;
    const fs::path kept = folder.path() / "dotfiles" / "defaults.json";
    const fs::path file = folder.path() / "halvo" / "defaults.json";
    fs::create_directories(kept.parent_path());
    fs::create_directories(file.parent_path());
    writeFile(kept, R"({"halvo.minimapTheme": "dark"})");
    fs::permissions(kept, fs::perms(0600));
    fs::create_symlink("../dotfiles/defaults.json", file);
    SimLog log;
    JsonFileUserDefaults(file, log).setObject("halvo.minimapTheme", std::string("light"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(JsonFileUserDefaults(kept, log).stringForKey("halvo.minimapTheme"), "light");
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms(0600));
    EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

TEST(JsonFileUserDefaults, StringWhereModifiersBelongLoadsAsControlAlt) {
    TempFolder folder;
    const fs::path file = folder.path() / "defaults.json";
    writeFile(file, R"({"halvo.shortcutModifiers": "12", "halvo.customAppOrder": ["A", 3]})");
    SimLog log;
    JsonFileUserDefaults defaults(file, log);
    EXPECT_EQ(AppPreferences(defaults).modifiers()->rawValue(), 3u);
    EXPECT_TRUE(AppOrderStore(defaults).savedOrder().empty());
    writeFile(file, R"({"halvo.shortcutModifiers": 12.0})");
    EXPECT_EQ(
        AppPreferences(*std::make_unique<JsonFileUserDefaults>(file, log)).modifiers()->rawValue(),
        12u);
}

TEST(JsonFileUserDefaults, InvalidUtf8IdentifiersAreStoredRatherThanLost) {
    TempFolder folder;
    const fs::path file = folder.path() / "defaults.json";
    SimLog log;
    JsonFileUserDefaults defaults(file, log);
    defaults.setObject("halvo.customAppOrder", std::vector<std::string>{"Caf\xe9", "XTerm"});
    const auto order = JsonFileUserDefaults(file, log).stringArrayForKey("halvo.customAppOrder");
    ASSERT_TRUE(order.has_value());
    EXPECT_EQ(order->size(), 2u);
    EXPECT_EQ(order->at(1), "XTerm");
    EXPECT_TRUE(log.lines().empty());
}

TEST(JsonFileUserDefaults, TenMegabyteFileLoadsAndRewrites) {
    TempFolder folder;
    const fs::path file = folder.path() / "defaults.json";
    std::vector<std::string> order;
    for (int i = 0; order.size() < 400000; ++i)
        order.push_back("org.example.application" + std::to_string(i));
    writeFile(file, nlohmann::json{{"halvo.customAppOrder", order}}.dump());
    ASSERT_GT(fs::file_size(file), 10u * 1000 * 1000);
    SimLog log;
    JsonFileUserDefaults defaults(file, log);
    EXPECT_EQ(AppOrderStore(defaults).savedOrder().size(), order.size());
    defaults.setObject("halvo.minimapTheme", std::string("dark"));
    EXPECT_EQ(JsonFileUserDefaults(file, log).stringArrayForKey("halvo.customAppOrder")->back(),
              order.back());
}

namespace {

// Runs `body` as a user without write access to folders it does not own: in a child process
// running as nobody when the tests run as root, which ignores permissions. The result is the
// body's exit code.
int runUnprivileged(const std::function<int()>& body) {
    if (::geteuid() != 0)
        return body();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

} // namespace

TEST(JsonFileUserDefaults, ReadOnlyFolderIsReportedOnceAndValuesStayInMemory) {
    TempFolder folder;
    const fs::path file = folder.path() / "defaults.json";
    writeFile(file, R"({"halvo.minimapTheme": "dark"})");
    fs::permissions(folder.path(), fs::perms(0555));
    const int result = runUnprivileged([&] {
        SimLog log;
        JsonFileUserDefaults defaults(file, log);
        defaults.setObject("halvo.minimapTheme", std::string("light"));
        defaults.setObject("halvo.shortcutModifiers", 5.0);
        const bool kept = defaults.stringForKey("halvo.minimapTheme") == "light" &&
                          defaults.objectForKey("halvo.shortcutModifiers") == DefaultsValue(5.0);
        const auto lines = log.lines();
        const bool reportedOnce = lines.size() == 1 && lines[0].rfind("Halvo: ", 0) == 0;
        return (kept ? 0 : 1) | (reportedOnce ? 0 : 2);
    });
    EXPECT_EQ(result, 0) << "1: values lost in memory, 2: not reported exactly once";
    EXPECT_EQ(readFile(file), R"({"halvo.minimapTheme": "dark"})");
}

TEST(JsonFileUserDefaults, FolderThatCannotBeCreatedIsReportedOnce) {
    TempFolder folder;
    writeFile(folder.path() / "config", "a file where the folder should be");
    SimLog log;
    JsonFileUserDefaults defaults(folder.path() / "config" / "halvo" / "defaults.json", log);
    defaults.setObject("halvo.minimapTheme", std::string("light"));
    defaults.setObject("halvo.minimapTheme", std::string("dark"));
    EXPECT_EQ(defaults.stringForKey("halvo.minimapTheme"), "dark");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("Halvo: Could not create"), std::string::npos) << log.lines()[0];
}

TEST(JsonFileUserDefaults, ConcurrentReaderNeverSeesAHalfWrittenFile) {
    TempFolder folder;
    const fs::path file = folder.path() / "defaults.json";
    SimLog log;
    JsonFileUserDefaults defaults(file, log);
    defaults.setObject("halvo.minimapTheme", std::string("dark"));

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        while (!done) {
            if (!JsonFileUserDefaults::parse(readFile(file)))
                ++broken;
            ++reads;
        }
    });
    std::vector<std::string> order;
    for (int i = 0; i < 60; ++i) {
        order.resize(static_cast<std::size_t>(2000 + (i % 2) * 3000),
                     "org.example.app" + std::to_string(i));
        defaults.setObject("halvo.customAppOrder", order);
    }
    done = true;
    reader.join();
    EXPECT_EQ(broken.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1)
        << "no temporary files are left behind";
}

TEST(JsonFileUserDefaults, DefaultPathFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-config", 1);
    EXPECT_EQ(JsonFileUserDefaults::defaultPath(), "/tmp/xdg-config/halvo/defaults.json");
    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(JsonFileUserDefaults::defaultPath(), "/home/someone/.config/halvo/defaults.json");
    if (saved)
        ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
