// The program's start when its settings file is damaged, huge or cannot be written, and when
// another client already owns its hot keys: it comes up, and nothing the user had is lost.
#include "x11/FaultDesktop.h"

#include <X11/keysym.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The program records the apps it has seen in its order as soon as it has looked at the desktop.
bool orderSaved(const FaultProgram& program) {
    return XvfbSession::waitUntil(
        [&] {
            return contents(program.settingsFile()).find("halvo.customAppOrder") !=
                   std::string::npos;
        },
        10);
}

} // namespace

TEST(FaultSettingsTest, CorruptFileIsKeptAsideAndDefaultsUsed) {
    FaultDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.error;
    const std::string damaged = "{\"halvo.customAppOrder\": [\"XTerm\", \x01\xff truncated";
    write(desktop.program->settingsFile(), damaged);
    ASSERT_TRUE(desktop.startProgram()) << desktop.error;

    EXPECT_TRUE(desktop.program->waitForLog("is not a JSON object; using default settings"))
        << desktop.program->log();
    EXPECT_TRUE(desktop.switchOnce());
    ASSERT_TRUE(orderSaved(*desktop.program));
    fs::path corrupt = desktop.program->settingsFile();
    corrupt += ".corrupt";
    EXPECT_EQ(contents(corrupt), damaged);
}

TEST(FaultSettingsTest, TenMegabyteFileIsReadAndKeptWhole) {
    FaultDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.error;
    // Another program's key beside Halvo's own: ten megabytes that must survive Halvo's writes.
    const std::string bulk(10 * 1024 * 1024, 'x');
    write(desktop.program->settingsFile(),
          "{\"halvo.minimapTheme\": \"dark\", \"other.notes\": \"" + bulk + "\"}");
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(desktop.startProgram()) << desktop.error;
    std::printf("started with a 10 MB settings file in %.2f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());

    EXPECT_TRUE(desktop.switchOnce());
    ASSERT_TRUE(orderSaved(*desktop.program));
    const std::string after = contents(desktop.program->settingsFile());
    EXPECT_NE(after.find(bulk), std::string::npos) << "the other key was lost";
    EXPECT_NE(after.find("\"halvo.minimapTheme\": \"dark\""), std::string::npos);
}

TEST(FaultSettingsTest, TenMegabytesOfGarbageAreSetAside) {
    FaultDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.error;
    std::string garbage(10 * 1024 * 1024, '[');
    for (std::size_t i = 0; i < garbage.size(); i += 7)
        garbage[i] = static_cast<char>(i * 31);
    write(desktop.program->settingsFile(), garbage);
    ASSERT_TRUE(desktop.startProgram()) << desktop.error;

    EXPECT_TRUE(desktop.switchOnce());
    ASSERT_TRUE(orderSaved(*desktop.program));
    fs::path corrupt = desktop.program->settingsFile();
    corrupt += ".corrupt";
    EXPECT_TRUE(contents(corrupt) == garbage) << "the damaged file was not kept as it was";
}

TEST(FaultSettingsTest, StartsWhenTheSettingsFolderCannotBeMade) {
    FaultDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.error;
    // A file where the settings folder belongs: no folder can be made there, not even by root.
    write(desktop.program->configHome() / "halvo", "in the way");
    ASSERT_TRUE(desktop.startProgram()) << desktop.error;

    EXPECT_TRUE(desktop.switchOnce());
    EXPECT_TRUE(desktop.program->waitForLog("settings are kept until Halvo quits"))
        << desktop.program->log();
    EXPECT_EQ(contents(desktop.program->configHome() / "halvo"), "in the way");
    EXPECT_TRUE(desktop.program->running());
    EXPECT_TRUE(desktop.switchOnce());
}

TEST(FaultSettingsTest, ReadOnlySettingsFolderKeepsTheFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    FaultDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.error;
    const std::string stored = "{\"halvo.customAppOrder\": [\"org.example.Kept\"]}";
    write(desktop.program->settingsFile(), stored);
    fs::permissions(desktop.program->settingsFile().parent_path(),
                    fs::perms::owner_read | fs::perms::owner_exec);
    ASSERT_TRUE(desktop.startProgram()) << desktop.error;

    EXPECT_TRUE(desktop.switchOnce());
    EXPECT_TRUE(desktop.program->waitForLog("settings are kept until Halvo quits"))
        << desktop.program->log();
    EXPECT_EQ(contents(desktop.program->settingsFile()), stored);
}

TEST(FaultSettingsTest, HotKeyOwnedByAnotherClientIsReportedAndTheProgramRuns) {
    FaultDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.error;
    // Another client grabs Control+Alt+Right first.
    xcb_connection_t* other = xcb_connect(desktop.session->display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XK_Right);
    ASSERT_NE(codes, nullptr);
    xcb_generic_error_t* error = xcb_request_check(
        other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, codes[0],
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    free(codes);
    xcb_key_symbols_free(symbols);
    ASSERT_EQ(error, nullptr);

    ASSERT_TRUE(desktop.startProgram()) << desktop.error;
    EXPECT_TRUE(desktop.program->waitForLog("another program already uses it"))
        << desktop.program->log();
    EXPECT_TRUE(desktop.program->running());

    // The running program still answers: its Preferences open from the command line.
    const std::string answer =
        desktop.session->run(std::string(HALVO_BINARY) + " --preferences; echo status=$?");
    EXPECT_NE(answer.find("status=0"), std::string::npos) << answer;
    EXPECT_TRUE(desktop.session->waitForClientWindow("halvo", 5) ||
                desktop.session->waitForClientWindow("Halvo", 1))
        << "no Preferences window";
    EXPECT_TRUE(desktop.program->running()) << desktop.program->log();
    xcb_disconnect(other);
}
