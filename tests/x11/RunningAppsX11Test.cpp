// The running-apps tracker on the live X11 workspace: real clients under openbox, the custom
// order in a real settings file, names and icons, and windows that must not be listed.
#include "core/AppActivator.h"
#include "core/AppOrderStore.h"
#include "core/RunningAppsTracker.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"
#include "platform/sim/SimSystemSound.h"
#include "platform/x11/X11ClientList.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowControl.h"
#include "platform/x11/X11Workspace.h"
#include "support/FakeX11Client.h"
#include "support/XRequestCount.h"
#include "support/XvfbSession.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <unistd.h>

using namespace halvo;
using halvo::test::FakeX11Client;
using halvo::test::XvfbSession;
namespace fs = std::filesystem;

namespace {

using IDs = std::vector<std::string>;

class RunningAppsX11Test : public testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<XvfbSession>(XvfbSession::Options{.twoMonitors = false});
        ASSERT_TRUE(session->ok()) << session->error();
        std::string pattern = (fs::temp_directory_path() / "halvo-apps-XXXXXX").string();
        configHome = ::mkdtemp(pattern.data());
        ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        std::string error;
        connection = X11Connection::open(session->display().c_str(), error);
        ASSERT_TRUE(connection) << error;
        errorListener = connection->addListener([this](const xcb_generic_event_t& event) {
            if (event.response_type == 0)
                ++xErrors;
        });
        workspace = std::make_unique<X11Workspace>(*connection, getpid());
        windowControl = std::make_unique<X11WindowControl>(*connection, getpid());
        activator = std::make_unique<AppActivator>(*workspace, *windowControl, queue, log);
    }

    void TearDown() override {
        tracker.reset();
        std::error_code ignored;
        fs::remove_all(configHome, ignored);
    }

    void startTracker() {
        defaults = std::make_unique<JsonFileUserDefaults>(JsonFileUserDefaults::defaultPath(), log);
        tracker = std::make_unique<RunningAppsTracker>(
            AppOrderStore(*defaults), *workspace,
            [this](ProcessID pid, std::function<void(bool)> completion) {
                activator->activate(pid, std::move(completion));
            },
            RunningAppsTracker::Services{queue, sound, nullptr});
    }

    // Runs the X events and the main queue in step with real time until `done` holds.
    bool pump(const std::function<bool()>& done, double seconds = 5.0) {
        return XvfbSession::waitUntil(
            [&] {
                connection->dispatchPending();
                queue.advance(0.005);
                return done();
            },
            seconds);
    }

    // How many requests `work` sends on the workspace's connection.
    unsigned requestsOf(const std::function<void()>& work) {
        return test::requestsSentBy(connection->xcb(), work);
    }

    // Starts a client and waits until the workspace lists an application of that class.
    pid_t launch(const std::string& program, const std::string& wmClass) {
        const pid_t pid = session->spawn({program});
        EXPECT_NE(session->waitForClientWindow(wmClass), 0u) << wmClass << " did not appear";
        pump([&] { return listed(wmClass); });
        return pid;
    }

    bool listed(const std::string& wmClass) {
        const auto apps = workspace->runningApplications();
        return std::any_of(apps.begin(), apps.end(),
                           [&](const auto& app) { return app.bundleIdentifier == wmClass; });
    }

    IDs trackedIDs() const {
        IDs ids;
        for (const auto& app : tracker->apps().get())
            ids.push_back(app.bundleIdentifier);
        return ids;
    }

    const TrackedApp* tracked(const std::string& id) const {
        for (const auto& app : tracker->apps().get()) {
            if (app.bundleIdentifier == id)
                return &app;
        }
        return nullptr;
    }

    IDs storedOrder() const {
        std::ifstream file(JsonFileUserDefaults::defaultPath());
        const auto json = nlohmann::json::parse(file, nullptr, false);
        if (!json.is_object() || !json.contains(AppOrderStore::customAppOrderKey))
            return {};
        return json[AppOrderStore::customAppOrderKey].get<IDs>();
    }

    void storeOrder(const IDs& ids) {
        fs::create_directories(JsonFileUserDefaults::defaultPath().parent_path());
        std::ofstream(JsonFileUserDefaults::defaultPath())
            << nlohmann::json{{AppOrderStore::customAppOrderKey, ids}}.dump();
    }

    void launchFour() {
        launch("xterm", "XTerm");
        launch("xlogo", "XLogo");
        launch("xcalc", "XCalc");
        xeyes = launch("xeyes", "XEyes");
    }

    std::unique_ptr<XvfbSession> session;
    fs::path configHome;
    std::unique_ptr<X11Connection> connection;
    X11Connection::ListenerID errorListener = 0;
    int xErrors = 0;
    SimMainQueue queue;
    SimLog log;
    SimSystemSound sound;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11WindowControl> windowControl;
    std::unique_ptr<AppActivator> activator;
    std::unique_ptr<JsonFileUserDefaults> defaults;
    std::unique_ptr<RunningAppsTracker> tracker;
    pid_t xeyes = -1;
};

} // namespace

TEST_F(RunningAppsX11Test, FirstRunListsAppsInLaunchOrderAndStoresThatOrder) {
    launchFour();
    startTracker();
    const IDs expected{"XTerm", "XLogo", "XCalc", "XEyes"};
    EXPECT_EQ(trackedIDs(), expected);
    EXPECT_EQ(storedOrder(), expected);
    // xlogo, xcalc and xeyes set no _NET_WM_PID: their processes come from the X-Resource
    // extension, so every application has its own real process identifier.
    for (const auto& app : tracker->apps().get())
        EXPECT_GT(app.processIdentifier, 0) << app.bundleIdentifier;
    EXPECT_EQ(xErrors, 0);
}

// A show asks for the list and the frontmost application together: one timestamp round trip
// (the only request while nothing changed), not one for each, and the same answers.
TEST_F(RunningAppsX11Test, ListAndFrontmostTogetherCostOneRoundTripAndAgreeWithEachAlone) {
    launch("xlogo", "XLogo");
    launch("xcalc", "XCalc");
    // The window manager activates xcalc a moment after it maps; read once it has, or the
    // reads below could straddle the change.
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        const auto front = workspace->frontmostApplication();
        return front && front->bundleIdentifier == "XCalc";
    }));
    const auto ids = [](const std::vector<RunningApplication>& apps) {
        IDs result;
        for (const auto& app : apps)
            result.push_back(app.bundleIdentifier.value_or(""));
        return result;
    };
    const auto alone = workspace->runningApplications();
    const auto frontmost = workspace->frontmostApplication();
    EXPECT_EQ(requestsOf([&] { workspace->runningApplications(); }), 1u);

    std::pair<std::vector<RunningApplication>, std::optional<RunningApplication>> both;
    EXPECT_EQ(requestsOf([&] { both = workspace->runningAndFrontmostApplications(); }), 1u);
    EXPECT_EQ(ids(both.first), ids(alone));
    EXPECT_EQ(both.second.has_value(), frontmost.has_value());
    if (both.second && frontmost) {
        EXPECT_EQ(both.second->bundleIdentifier, frontmost->bundleIdentifier);
    }
}

// Activating a window changes the root's active window and then its stacking order, no window's
// own values: once the main loop has handled that, a show asks for its timestamp only, and the
// frontmost application is the new one.
TEST_F(RunningAppsX11Test, ARestackAfterTheActiveWindowChangedKeepsTheListSnapshot) {
    launch("xlogo", "XLogo");
    launch("xcalc", "XCalc");
    const auto logo = static_cast<xcb_window_t>(session->waitForClientWindow("XLogo"));
    // The window manager activates xcalc a moment after it maps.
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        const auto front = workspace->frontmostApplication();
        return front && front->bundleIdentifier == "XCalc";
    }));

    // As the window manager does, from another client: active window, then stacking order.
    xcb_connection_t* wm = xcb_connect(session->display().c_str(), nullptr);
    const X11ClientList list = X11ClientList::read(*connection, getpid());
    std::vector<xcb_window_t> stacking;
    for (const auto& app : list.applications())
        stacking.insert(stacking.end(), app.stackedWindows.rbegin(), app.stackedWindows.rend());
    std::erase(stacking, logo);
    stacking.push_back(logo);
    const auto set = [&](const char* name, const std::vector<xcb_window_t>& windows) {
        xcb_change_property(wm, XCB_PROP_MODE_REPLACE, connection->root(), connection->atom(name),
                            XCB_ATOM_WINDOW, 32, static_cast<std::uint32_t>(windows.size()),
                            windows.data());
    };
    set("_NET_ACTIVE_WINDOW", {logo});
    set("_NET_CLIENT_LIST_STACKING", stacking);
    free(xcb_get_input_focus_reply(wm, xcb_get_input_focus(wm), nullptr));
    xcb_disconnect(wm);
    connection->dispatchPending();

    std::pair<std::vector<RunningApplication>, std::optional<RunningApplication>> both;
    EXPECT_EQ(requestsOf([&] { both = workspace->runningAndFrontmostApplications(); }), 1u)
        << "the client list was read again";
    ASSERT_TRUE(both.second);
    EXPECT_EQ(both.second->bundleIdentifier, "XLogo");
}

TEST_F(RunningAppsX11Test, StoredCustomOrderIsHonoured) {
    storeOrder({"XCalc", "Gone", "XEyes", "XTerm"});
    launchFour();
    startTracker();
    EXPECT_EQ(trackedIDs(), (IDs{"XCalc", "XEyes", "XTerm", "XLogo"}));
    EXPECT_EQ(storedOrder(), (IDs{"XCalc", "Gone", "XEyes", "XTerm", "XLogo"}))
        << "a newcomer is appended; an application not running keeps its entry";
}

TEST_F(RunningAppsX11Test, QuitAppKeepsItsSlotAndTakesItAgainOnRelaunch) {
    launchFour();
    startTracker();
    tracker->reorder(3, 1); // XEyes between XTerm and XLogo
    const IDs reordered{"XTerm", "XEyes", "XLogo", "XCalc"};
    ASSERT_EQ(trackedIDs(), reordered);

    session->kill(xeyes);
    EXPECT_TRUE(pump([&] {
        return trackedIDs() == IDs{"XTerm", "XLogo", "XCalc"};
    })) << "the quit reaches the tracker through the workspace's notification";
    EXPECT_EQ(storedOrder(), reordered);

    session->spawn({"xeyes"});
    EXPECT_TRUE(pump([&] { return trackedIDs() == reordered; }));
    EXPECT_EQ(xErrors, 0);
}

TEST_F(RunningAppsX11Test, CyclingOntoAppThatRefusesFocusSelectsItWithoutConfirming) {
    launchFour();
    startTracker();
    tracker->activate("XCalc");
    ASSERT_TRUE(pump([&] { return tracker->frontmostBundleID().get() == "XCalc"; }));
    pump([] { return false; }, 0.3); // let the activation complete

    tracker->cycle(false);
    EXPECT_EQ(tracker->selectedBundleID().get(), "XEyes");
    const auto notConfirmed = [&] {
        const auto lines = log.lines();
        return std::find(lines.begin(), lines.end(),
                         "Halvo: Activation was not confirmed for XEyes") != lines.end();
    };
    EXPECT_TRUE(pump(notConfirmed));
    EXPECT_EQ(tracker->selectedBundleID().get(), "XEyes") << "the selection stays where it went";
    EXPECT_NE(tracker->frontmostBundleID().get(), "XEyes");

    tracker->cycle(false); // wraps to the first
    EXPECT_EQ(tracker->selectedBundleID().get(), "XTerm");
    EXPECT_TRUE(pump([&] { return tracker->frontmostBundleID().get() == "XTerm"; }));
    tracker->endSwitching();
    EXPECT_EQ(tracker->selectedBundleID().get(), "XTerm");
}

TEST_F(RunningAppsX11Test, SkipTaskbarAndDockWindowsAreNotListed) {
    FakeX11Client::spawn(*session, {.wmClass = "Skipper", .skipTaskbar = true});
    FakeX11Client::spawn(*session, {.wmClass = "Docky", .dock = true});
    FakeX11Client::spawn(*session, {.wmClass = "Plain"});
    for (const char* name : {"Skipper", "Docky", "Plain"})
        ASSERT_NE(session->waitForClientWindow(name), 0u) << name;
    pump([&] { return listed("Plain") && listed("Skipper") && listed("Docky"); });

    startTracker();
    EXPECT_EQ(trackedIDs(), IDs{"Plain"});
    for (const auto& app : workspace->runningApplications()) {
        if (app.bundleIdentifier != "Plain") {
            EXPECT_NE(app.activationPolicy, ActivationPolicy::regular) << *app.bundleIdentifier;
        }
    }
}

// The first EWMH type in _NET_WM_WINDOW_TYPE decides, both for the list and for the window
// services; vendor types in front of it (Qt's frameless windows) are passed over.
TEST_F(RunningAppsX11Test, VendorWindowTypesBeforeTheEwmhTypeArePassedOver) {
    const std::string vendor = "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE";
    FakeX11Client::spawn(
        *session, {.wmClass = "Frameless", .windowTypes = {vendor, "_NET_WM_WINDOW_TYPE_NORMAL"}});
    FakeX11Client::spawn(
        *session, {.wmClass = "VendorDock", .windowTypes = {vendor, "_NET_WM_WINDOW_TYPE_DOCK"}});
    std::map<std::string, unsigned long> windows;
    for (const char* name : {"Frameless", "VendorDock"}) {
        windows[name] = session->waitForClientWindow(name);
        ASSERT_NE(windows[name], 0u) << name;
    }
    ASSERT_TRUE(pump([&] { return listed("Frameless") && listed("VendorDock"); }));

    startTracker();
    EXPECT_EQ(trackedIDs(), IDs{"Frameless"});
    const std::map<std::string, WindowInfo::Kind> kinds{{"Frameless", WindowInfo::Kind::normal},
                                                        {"VendorDock", WindowInfo::Kind::desktop}};
    const X11ClientList list = X11ClientList::read(*connection, getpid());
    for (const auto& [name, kind] : kinds) {
        const auto* app = list.owner(static_cast<xcb_window_t>(windows[name]));
        ASSERT_TRUE(app) << name;
        const auto read = windowControl->windows(app->pid);
        const WindowInfo* info = read ? read->find(windows[name]) : nullptr;
        ASSERT_TRUE(info) << name;
        EXPECT_EQ(info->kind, kind) << name;
    }
}

// WM_CLASS is a Latin-1 STRING (toolkits put UTF-8 there too): the id must be the same UTF-8
// text at every start, or the stored order never matches it again.
TEST_F(RunningAppsX11Test, NonAsciiClassesKeepTheirStoredPlace) {
    const std::string latin1Cafe = "Caf\xe9";
    const std::string utf8Cafe = "Caf\xc3\xa9";
    const std::string utf8Gruen = "Gr\xc3\xbcn";
    storeOrder({utf8Gruen, "Plain", utf8Cafe});
    FakeX11Client::spawn(*session, {.wmClass = latin1Cafe});
    FakeX11Client::spawn(*session, {.wmClass = utf8Gruen});
    FakeX11Client::spawn(*session, {.wmClass = "Plain"});
    for (const std::string& name : {latin1Cafe, utf8Gruen, std::string("Plain")})
        ASSERT_NE(session->waitForClientWindow(name), 0u) << name;
    ASSERT_TRUE(pump([&] { return workspace->runningApplications().size() == 3; }));

    startTracker();
    EXPECT_EQ(trackedIDs(), (IDs{utf8Gruen, "Plain", utf8Cafe}));
    EXPECT_EQ(storedOrder(), (IDs{utf8Gruen, "Plain", utf8Cafe}));
}

TEST_F(RunningAppsX11Test, NamesAndIconsComeFromDesktopEntryElseWindowElseClass) {
    workspace->setDesktopEntries(
        {[](const std::string& wmClass,
            const std::string& wmInstance) -> std::optional<DesktopEntry> {
             if (wmClass == "Themed")
                 return DesktopEntry{"themed.desktop", "Themed App", "themed-icon"};
             if (wmInstance == "undrawable")
                 return DesktopEntry{"undrawable.desktop", "Undrawable", "no-such-icon"};
             return std::nullopt;
         },
         [](const std::string& iconName) { return iconName == "themed-icon"; }});
    FakeX11Client::spawn(*session, {.wmClass = "Themed"});
    FakeX11Client::spawn(*session, {.windows = 3, .wmClass = "Pixels", .wmInstance = "undrawable"});
    FakeX11Client::spawn(*session, {.wmClass = "Bare", .icon = false});
    for (const char* name : {"Themed", "Pixels", "Bare"})
        ASSERT_NE(session->waitForClientWindow(name), 0u) << name;
    pump([&] { return listed("Themed") && listed("Pixels") && listed("Bare"); });
    ASSERT_TRUE(pump([&] { return workspace->runningApplications().size() == 3; }));

    startTracker();
    const TrackedApp* themed = tracked("Themed");
    const TrackedApp* pixels = tracked("Pixels");
    const TrackedApp* bare = tracked("Bare");
    ASSERT_TRUE(themed && pixels && bare);
    EXPECT_EQ(themed->name, "Themed App");
    ASSERT_TRUE(themed->icon);
    EXPECT_EQ(themed->icon->themeName, "themed-icon");
    EXPECT_TRUE(themed->icon->pixels.empty()) << "a drawable theme icon needs no window pixels";

    EXPECT_EQ(pixels->name, "Undrawable") << "the entry's name stays when only its icon is missing";
    ASSERT_TRUE(pixels->icon);
    EXPECT_TRUE(pixels->icon->themeName.empty());
    EXPECT_EQ(pixels->icon->width, 64) << "the smallest image at least 52 pixels";
    const auto published = FakeX11Client::iconData(FakeX11Client::Options{}.iconColor);
    EXPECT_EQ(pixels->icon->pixels,
              std::vector<std::uint32_t>(published.begin() + 2 + 16 * 16 + 2, published.end()));

    EXPECT_EQ(bare->name, "Bare");
    // Openbox publishes its own default icon on windows that bring none, so Bare may have one.

    // Later refreshes read no pixels again and hand out the very same icon objects, so the
    // overlay's drawn icons stay valid.
    const std::size_t fetches = workspace->iconFetches();
    EXPECT_EQ(fetches, 2u) << "one window of Pixels (of three) and Bare's; none for Themed";
    const AppIconRef themedIcon = themed->icon;
    const AppIconRef pixelIcon = pixels->icon;
    for (int i = 0; i < 3; ++i)
        tracker->refresh(false);
    EXPECT_EQ(workspace->iconFetches(), fetches);
    EXPECT_EQ(tracked("Themed")->icon, themedIcon);
    EXPECT_EQ(tracked("Pixels")->icon, pixelIcon);
}

TEST_F(RunningAppsX11Test, ChangedWindowIconIsReadAgain) {
    FakeX11Client::spawn(*session, {.wmClass = "Changing"});
    const unsigned long window = session->waitForClientWindow("Changing");
    ASSERT_NE(window, 0u);
    pump([&] { return listed("Changing"); });
    startTracker();
    ASSERT_TRUE(tracked("Changing") && tracked("Changing")->icon);
    EXPECT_EQ(tracked("Changing")->icon->width, 64);

    // A window that publishes another icon (here a single 32x32 image) is read again.
    std::vector<std::uint32_t> icon{32, 32};
    icon.insert(icon.end(), 32 * 32, 0xFF00FF00u);
    xcb_change_property(connection->xcb(), XCB_PROP_MODE_REPLACE, window,
                        connection->atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                        static_cast<std::uint32_t>(icon.size()), icon.data());
    connection->flush();
    EXPECT_TRUE(pump([&] {
        tracker->refresh(false);
        const TrackedApp* app = tracked("Changing");
        return app && app->icon && app->icon->width == 32;
    }));
    EXPECT_EQ(workspace->iconFetches(), 2u);
}

// A refresh can read an application that starts and quits between two readings of the events:
// the events then never show it, but the tracker that listed it must still hear that it went.
TEST_F(RunningAppsX11Test, AnAppOnlyARefreshSawIsDroppedWhenItQuits) {
    startTracker();
    const pid_t client = FakeX11Client::spawn(*session, {.windows = 1, .wmClass = "Brief"});
    ASSERT_TRUE(XvfbSession::waitUntil([&] {
        tracker->refresh(false);
        return trackedIDs() == IDs{"Brief"};
    }));
    session->kill(client);
    ASSERT_TRUE(XvfbSession::waitUntil([&] { return workspace->runningApplications().empty(); }));
    EXPECT_TRUE(pump([&] { return trackedIDs().empty(); }))
        << "still tracked: " << testing::PrintToString(trackedIDs());
}

TEST_F(RunningAppsX11Test, RapidSpawnAndKillDuringRefreshesRaisesNoXError) {
    startTracker();
    for (int cycle = 0; cycle < 100; ++cycle) {
        const pid_t client = FakeX11Client::spawn(
            *session, {.windows = 1 + cycle % 4, .wmClass = "Churn" + std::to_string(cycle % 7)});
        // Refresh while the client maps, sometimes before, sometimes after its windows appear,
        // then kill it while its windows may still be in the lists being read.
        for (int i = 0; i < cycle % 4; ++i) {
            connection->dispatchPending();
            queue.advance(0.005);
            tracker->refresh(false);
            workspace->frontmostApplication();
        }
        session->kill(client);
        connection->dispatchPending();
        queue.advance(0.005);
        tracker->refresh(false);
    }
    // The window manager unmanages the last clients' windows in its own time (seconds on a
    // loaded machine); the tracker is held to follow it, not to outrun it.
    EXPECT_TRUE(XvfbSession::waitUntil([&] { return workspace->runningApplications().empty(); }))
        << session->run("xprop -root _NET_CLIENT_LIST");
    EXPECT_TRUE(pump([&] { return trackedIDs().empty(); }))
        << "still tracked: " << testing::PrintToString(trackedIDs()) << "\n"
        << session->run("xprop -root _NET_CLIENT_LIST");
    EXPECT_EQ(xErrors, 0);
    for (const auto& line : log.lines())
        EXPECT_EQ(line.find("X error"), std::string::npos) << line;
    EXPECT_FALSE(connection->hasError());
}
