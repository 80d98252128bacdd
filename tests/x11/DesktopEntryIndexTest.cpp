// Desktop-entry lookup through GIO on entries installed in a private XDG data folder.
#include "platform/linux/DesktopEntryIndex.h"

#include <filesystem>
#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>

using namespace halvo;
namespace fs = std::filesystem;

namespace {

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    // GLib reads the XDG folders and the language once per process, so every entry this suite
    // needs is installed before the first lookup.
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "halvo-xdg-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        const fs::path applications = root / "data" / "applications";
        fs::create_directories(applications);
        fs::create_directories(root / "home");
        install(applications / "myterm.desktop",
                "Name=My Terminal\nName[de]=Mein Terminal\n"
                "Icon=utilities-terminal\nStartupWMClass=MyTermClass\n");
        install(applications / "org.example.Calc.desktop", "Name=Calculator\nIcon=/opt/calc.png\n");
        install(applications / "xlogo.desktop", "Name=X Logo\n");
        install(applications / "broken-name.desktop", "Name=Bad\xff Name\nIcon=bad\n");
        install(applications / "gone.desktop", "Name=Gone\nHidden=true\nStartupWMClass=GoneApp\n");
        ::setenv("XDG_DATA_DIRS", (root / "data").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root / "home").c_str(), 1);
        ::setenv("LANGUAGE", "de", 1);
        ::setenv("LC_ALL", "C.UTF-8", 1);
    }
    static void TearDownTestSuite() {
        std::error_code error;
        fs::remove_all(root, error);
    }
    static void install(const fs::path& file, const std::string& keys) {
        std::ofstream(file) << "[Desktop Entry]\nType=Application\nExec=true\n" << keys;
    }

    static inline fs::path root;
};

} // namespace

TEST_F(DesktopEntryIndexTest, FindsByStartupWMClassThenFileNameIgnoringCase) {
    DesktopEntryIndex index;
    const auto term = index.find("mytermclass");
    ASSERT_TRUE(term.has_value());
    EXPECT_EQ(term->id, "myterm.desktop");
    EXPECT_EQ(term->name, "Mein Terminal") << "localized name";
    EXPECT_EQ(term->iconName, "utilities-terminal");

    const auto logo = index.find("XLogo", "xlogo");
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(logo->name, "X Logo");
    EXPECT_EQ(logo->iconName, "");

    const auto calc = index.find("Calc");
    ASSERT_TRUE(calc.has_value()) << "last part of a reverse-DNS id";
    EXPECT_EQ(calc->id, "org.example.Calc.desktop");
    EXPECT_EQ(calc->iconName, "/opt/calc.png");

    EXPECT_EQ(index.find("SomethingElse", "somethingelse"), std::nullopt);
    EXPECT_EQ(index.find("GoneApp"), std::nullopt) << "hidden entries do not count";
    EXPECT_EQ(index.find(""), std::nullopt);
}

TEST_F(DesktopEntryIndexTest, NameThatIsNotUtf8GivesNoNameButKeepsTheIcon) {
    DesktopEntryIndex index;
    const auto entry = index.find("broken-name");
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(g_utf8_validate(entry->name.c_str(), -1, nullptr));
    EXPECT_NE(entry->name, "Unnamed") << "a placeholder would hide the window class";
    if (!entry->name.empty()) {
        EXPECT_EQ(entry->name.rfind("Bad", 0), 0u) << entry->name;
    }
    EXPECT_EQ(entry->iconName, "bad");
}
