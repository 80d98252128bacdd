// The window services on a real sway: the application list from the layout tree with its
// notifications, activation (and the commands it sends), moves of floating and tiled windows
// between the two outputs, full screen read back, a closed window that is `gone`, and the outputs
// with their visible frames.
#include "core/AppActivator.h"
#include "minimap/MinimapPanelController.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimPanel.h"
#include "platform/sway/SwayScreens.h"
#include "platform/sway/SwayWindowControl.h"
#include "platform/sway/SwayWorkspace.h"
#include "platform/wayland/LayerPlacement.h"
#include "support/sway/SwayCommandTap.h"
#include "sway/SwayTestSession.h"
#include "windows/WindowMovementService.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
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

// The services as Halvo's composition root makes them, on the test program's session; their
// requests go to `socket` (sway's own unless a test taps it).
struct Services {
    explicit Services(const std::string& socket = swaySession().swaySocket()) : pool(socket) {}

    SwaySession& session = swaySession();
    SwayIpcPool pool;
    SwayIpcEvents events{session.swaySocket(), {"window", "workspace"}};
    SwayTreeCache tree{pool, events, getpid()};
    SwayWorkspace workspace{pool, events, tree};
    SwayWindowControl control{pool, tree};
    SwayScreens screens{pool, events};

    std::optional<RunningApplication> app(const std::string& appKey) {
        for (const RunningApplication& app : workspace.runningApplications()) {
            if (app.bundleIdentifier == appKey)
                return app;
        }
        return std::nullopt;
    }
    // Starts foot with `appID` and waits for its window; its pid in sway's terms.
    ProcessID foot(const std::string& appID, std::vector<pid_t>& started) {
        started.push_back(session.spawn({"foot", "--app-id", appID}));
        EXPECT_TRUE(session.waitForWindow(appID));
        const auto found = app(appID);
        return found ? found->processIdentifier : 0;
    }
    // The application's only window, read back.
    std::optional<WindowInfo> window(ProcessID pid) {
        const auto windows = control.windows(pid);
        if (!windows || windows->windows.size() != 1)
            return std::nullopt;
        return windows->windows.front();
    }
    // The output whose subtree holds the window, from sway's tree.
    std::string outputOf(WindowID id) {
        std::function<std::string(const nlohmann::json&, const std::string&)> search =
            [&](const nlohmann::json& node, const std::string& output) -> std::string {
            const std::string inside =
                node.value("type", "") == "output" ? node.value("name", "") : output;
            if (node.value("id", 0L) == static_cast<long>(id))
                return inside;
            for (const char* key : {"nodes", "floating_nodes"}) {
                for (const auto& child : node.value(key, nlohmann::json::array())) {
                    if (std::string found = search(child, inside); !found.empty())
                        return found;
                }
            }
            return {};
        };
        return search(session.query("get_tree"), {});
    }
    ~Services() { session.command("focus output HEADLESS-1"); }
};

void killAll(SwaySession& session, const std::vector<pid_t>& started) {
    for (const pid_t pid : started)
        session.kill(pid);
}

TEST(SwayWorkspace, ListsAppsByAppIdNamesThemAndNotifies) {
    Services services;
    services.workspace.setDesktopEntries(
        {[](const std::string& appKey, const std::string&) -> std::optional<DesktopEntry> {
             if (appKey == "halvo-list-term")
                 return DesktopEntry{"halvo-list-term.desktop", "List Terminal", ""};
             return std::nullopt;
         },
         {}});
    int launched = 0, terminated = 0;
    services.workspace.addObserver(WorkspaceNotification::didLaunchApplication,
                                   [&] { ++launched; });
    services.workspace.addObserver(WorkspaceNotification::didTerminateApplication,
                                   [&] { ++terminated; });
    std::vector<pid_t> started;
    const ProcessID terminal = services.foot("halvo-list-term", started);
    started.push_back(services.session.spawn({"foot", "--app-id", "halvo-list-term"}));
    const std::string linguist =
        QLibraryInfo::path(QLibraryInfo::BinariesPath).toStdString() + "/linguist";
    started.push_back(services.session.spawn({linguist}, {"QT_QPA_PLATFORM=wayland"}));
    ASSERT_TRUE(services.session.waitForWindow("linguist"));
    // Halvo's own window: listed, but as an accessory.
    QWidget own;
    own.resize(200, 100);
    own.show();

    ASSERT_TRUE(processEventsUntil([&] {
        const auto windows = services.control.windows(terminal);
        return windows && windows->windows.size() == 2 && services.app("halvo_sway_tests");
    }));
    const auto term = services.app("halvo-list-term");
    ASSERT_TRUE(term);
    EXPECT_EQ(term->processIdentifier, terminal); // the oldest window's process, still
    EXPECT_EQ(term->localizedName, "List Terminal");
    EXPECT_EQ(term->activationPolicy, ActivationPolicy::regular);
    const auto qt = services.app("linguist");
    ASSERT_TRUE(qt);
    EXPECT_EQ(qt->localizedName, "linguist"); // no desktop entry: the app_id
    EXPECT_EQ(services.app("halvo_sway_tests")->activationPolicy, ActivationPolicy::accessory);
    EXPECT_GE(launched, 1);

    own.hide();
    killAll(services.session, started);
    EXPECT_TRUE(processEventsUntil([&] { return terminated >= 1 && !services.app("linguist"); }));
    EXPECT_FALSE(services.app("halvo-list-term"));
}

TEST(SwayWorkspace, ActivationFocusesTheAppAndNotifies) {
    Services services;
    std::vector<pid_t> started;
    const ProcessID first = services.foot("halvo-activate-a", started);
    const ProcessID second = services.foot("halvo-activate-b", started);
    ASSERT_NE(first, second);
    int activated = 0;
    services.workspace.addObserver(WorkspaceNotification::didActivateApplication,
                                   [&] { ++activated; });
    for (const ProcessID pid : {first, second, first}) {
        const int before = activated;
        ASSERT_TRUE(services.workspace.activate(pid));
        EXPECT_EQ(services.workspace.frontmostApplication()->processIdentifier, pid);
        EXPECT_TRUE(processEventsUntil([&] { return activated > before; }));
        const auto windows = services.control.windows(pid);
        ASSERT_TRUE(windows);
        EXPECT_EQ(windows->focused, windows->windows.front().id);
    }
    killAll(services.session, started);
}

// The workspace keeps the tree it read; a change another client makes is still seen at once,
// before the event loop has handed sway's events over.
TEST(SwayWorkspace, AnswersFollowChangesMadeElsewhereAtOnce) {
    Services services;
    std::vector<pid_t> started;
    const ProcessID first = services.foot("halvo-fresh-a", started);
    const ProcessID second = services.foot("halvo-fresh-b", started);
    ASSERT_EQ(services.workspace.frontmostApplication()->processIdentifier, second);
    ASSERT_TRUE(services.session.command("[app_id=halvo-fresh-a] focus"));
    EXPECT_EQ(services.workspace.frontmostApplication()->processIdentifier, first);
    started.push_back(services.session.spawn({"foot", "--app-id", "halvo-fresh-c"}));
    ASSERT_TRUE(services.session.waitForWindow("halvo-fresh-c"));
    EXPECT_TRUE(services.app("halvo-fresh-c"));
    killAll(services.session, started);
}

// An application read before the event loop hears of it, that quits before it does: the events
// of its start and end come together and show no change, yet its quit is reported.
TEST(SwayWorkspace, AnAppOnlyAReadSawIsReportedGoneWhenItQuits) {
    Services services;
    int terminated = 0;
    services.workspace.addObserver(WorkspaceNotification::didTerminateApplication,
                                   [&] { ++terminated; });
    std::vector<pid_t> started{services.session.spawn({"foot", "--app-id", "halvo-brief"})};
    ASSERT_TRUE(services.session.waitForWindow("halvo-brief"));
    ASSERT_TRUE(services.app("halvo-brief"));
    killAll(services.session, started);
    ASSERT_TRUE(SwaySession::waitUntil([&] { return !services.app("halvo-brief"); }));
    EXPECT_TRUE(processEventsUntil([&] { return terminated > 0; }));
}

// An activation focuses the application's window once, and sends nothing when that window
// already has the focus: every focus command brings events that make the kept tree stale, and
// the next step may already be waiting.
TEST(SwayWorkspace, ActivationFocusesOnceAndNotAgainWhatHasTheFocus) {
    SwayCommandTap tap(swaySession().swaySocket(), swaySession().folder());
    Services services(tap.path());
    QtMainQueue mainQueue;
    SimLog log;
    AppActivator activator(services.workspace, services.control, mainQueue, log);
    std::vector<pid_t> started;
    const ProcessID first = services.foot("halvo-once-a", started);
    services.foot("halvo-once-b", started);
    for (const int expected : {1, 0}) {
        tap.clear();
        std::optional<bool> confirmed;
        activator.activate(first, [&](bool ok) { confirmed = ok; });
        ASSERT_TRUE(processEventsUntil([&] { return confirmed.has_value(); }));
        EXPECT_TRUE(*confirmed) << testing::PrintToString(log.lines());
        const std::vector<std::string> sent = tap.commands();
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                                [](const std::string& c) { return c.ends_with("focus"); }),
                  expected)
            << testing::PrintToString(sent);
    }
    killAll(services.session, started);
}

// An application's most recently used window is the one activation brings, wherever it is: here
// its tiled window on a now hidden workspace of HEADLESS-1, used after its floating one on
// HEADLESS-2, before the focus went back to another application on HEADLESS-2 (whose output and
// workspace focus stacks then list the floating window first).
TEST(SwayWorkspace, ActivationBringsTheMostRecentlyUsedWindow) {
    Services services;
    std::vector<pid_t> started;
    ASSERT_TRUE(services.session.command(
        "for_window [app_id=\"halvo-used\" title=\"floating\"] floating enable"));
    ASSERT_TRUE(services.session.command("focus output HEADLESS-2"));
    started.push_back(
        services.session.spawn({"foot", "--app-id", "halvo-used", "--title", "floating"}));
    const long floatingID = *services.session.waitForWindow("halvo-used");
    services.foot("halvo-other", started);
    const long otherID = *services.session.waitForWindow("halvo-other");
    ASSERT_TRUE(services.session.command("focus output HEADLESS-1; workspace halvo-used"));
    const ProcessID pid = services.foot("halvo-used", started);
    std::optional<AppWindows> windows;
    ASSERT_TRUE(processEventsUntil([&] {
        windows = services.control.windows(pid);
        return windows && windows->windows.size() == 2;
    }));
    const WindowID tiledID = windows->windows[0].id == WindowID(floatingID)
                                 ? windows->windows[1].id
                                 : windows->windows[0].id;
    // Back to the other application, straight past the floating window.
    ASSERT_TRUE(
        services.session.command("workspace 1; [con_id=" + std::to_string(otherID) + "] focus"));
    ASSERT_TRUE(processEventsUntil([&] {
        return services.workspace.frontmostApplication()->bundleIdentifier == "halvo-other";
    }));
    EXPECT_EQ(services.control.windows(pid)->main, tiledID);
    ASSERT_TRUE(services.workspace.activate(pid));
    EXPECT_TRUE(processEventsUntil([&] {
        const std::optional<SwayClientList> tree = services.tree.read();
        const SwayClientList::Window* focused = tree ? tree->focusedWindow() : nullptr;
        return focused && WindowID(focused->id) == tiledID;
    }));
    killAll(services.session, started);
}

// sway has no minimised state; its scratchpad is the nearest: put away, the app is hidden, and
// unhide or activation brings the window back.
TEST(SwayWindowControl, MinimisingPutsAwayInTheScratchpadAndUnhideBringsBack) {
    Services services;
    std::vector<pid_t> started;
    int launched = 0, hid = 0, unhid = 0;
    services.workspace.addObserver(WorkspaceNotification::didLaunchApplication,
                                   [&] { ++launched; });
    const ProcessID pid = services.foot("halvo-scratch", started);
    // Hidden counts from an application the workspace has seen launched.
    ASSERT_TRUE(processEventsUntil([&] { return launched == 1; }));
    services.workspace.addObserver(WorkspaceNotification::didHideApplication, [&] { ++hid; });
    services.workspace.addObserver(WorkspaceNotification::didUnhideApplication, [&] { ++unhid; });
    EXPECT_EQ(services.control.setMinimized(*services.window(pid), true), WindowResult::ok);
    EXPECT_TRUE(services.window(pid)->minimized);
    EXPECT_TRUE(services.app("halvo-scratch")->isHidden);
    EXPECT_TRUE(processEventsUntil([&] { return hid == 1; }));
    services.workspace.unhide(pid);
    EXPECT_FALSE(services.window(pid)->minimized);
    EXPECT_TRUE(processEventsUntil([&] { return unhid == 1; }));
    EXPECT_EQ(services.control.setMinimized(*services.window(pid), true), WindowResult::ok);
    EXPECT_EQ(services.control.setMinimized(*services.window(pid), false), WindowResult::ok);
    EXPECT_FALSE(services.window(pid)->minimized);
    killAll(services.session, started);
}

// The long press's move, as the logic makes it, of an application with a floating and a tiled
// window: the floating one keeps its relative place on the other output, the tiled one lands on
// that output wherever sway's layout puts it. Then a frame set directly, with a new size.
TEST(SwayWindowControl, FloatingMovesKeepTheirPlaceAndTiledLandOnTheOutput) {
    Services services;
    std::vector<pid_t> started;
    // Floating from its first frame: a window made floating after it was tiled can still commit
    // a buffer of its tiled size later, and sway then takes that size.
    ASSERT_TRUE(services.session.command(
        "for_window [app_id=\"halvo-move\" title=\"floating\"] \"floating enable, "
        "resize set 400 px 300 px, move absolute position 100 px 150 px\""));
    started.push_back(
        services.session.spawn({"foot", "--app-id", "halvo-move", "--title", "floating"}));
    const long floatingID = *services.session.waitForWindow("halvo-move");
    const ProcessID pid = services.foot("halvo-move", started);
    ASSERT_TRUE(SwaySession::waitUntil([&] {
        const auto windows = services.control.windows(pid);
        return windows && windows->windows.size() == 2;
    }));
    const auto find = [&](long id) -> std::optional<WindowInfo> {
        const auto windows = services.control.windows(pid);
        const WindowInfo* found = windows ? windows->find(static_cast<WindowID>(id)) : nullptr;
        return found ? std::optional(*found) : std::nullopt;
    };
    ASSERT_TRUE(SwaySession::waitUntil([&] {
        const auto w = find(floatingID);
        // The size arrives once foot has taken sway's configure, after the position.
        return w && w->frame == Rect{100, 150, 400, 300};
    }));
    WindowID tiledID = 0;
    const auto both = services.control.windows(pid);
    ASSERT_TRUE(both);
    for (const WindowInfo& w : both->windows)
        tiledID = w.id != WindowID(floatingID) ? w.id : tiledID;

    // The screens' areas as the logic takes them from SwayScreens.
    std::vector<Rect> areas;
    for (const Screen& screen : services.screens.screens())
        areas.push_back(screen.visibleFrame);
    const auto result = WindowMovementService::performMove(services.control, pid, areas, areas[1]);
    EXPECT_EQ(result, (WindowMovementService::Result{2, 0, 0}));
    EXPECT_EQ(find(floatingID)->frame, (Rect{1280 + 100, 150, 400, 300}));
    EXPECT_EQ(services.outputOf(WindowID(floatingID)), "HEADLESS-2");
    const WindowInfo tiled = *find(static_cast<long>(tiledID));
    EXPECT_EQ(services.outputOf(tiledID), "HEADLESS-2");
    EXPECT_GE(tiled.frame.x, 1280);
    EXPECT_FALSE(tiled.canResize); // still tiled

    // Resized first, then placed: the frame read back is the one asked for, but for the size
    // foot may round down to whole character cells (it does from 1.16).
    const Rect target{200, 100, 360, 280};
    EXPECT_EQ(services.control.setFrame(*find(floatingID), target), WindowResult::ok);
    const Rect placed = find(floatingID)->frame;
    EXPECT_EQ(placed.x, target.x);
    EXPECT_EQ(placed.y, target.y);
    EXPECT_TRUE(placed.width <= target.width && placed.width > target.width - 20 &&
                placed.height <= target.height && placed.height > target.height - 40)
        << placed.width << "x" << placed.height;
    EXPECT_EQ(services.outputOf(WindowID(floatingID)), "HEADLESS-1");
    killAll(services.session, started);
}

TEST(SwayWindowControl, FullScreenIsReadBackAndAClosedWindowIsGone) {
    Services services;
    std::vector<pid_t> started;
    const ProcessID pid = services.foot("halvo-full", started);
    const WindowInfo window = *services.window(pid);
    EXPECT_FALSE(window.fullScreen);
    EXPECT_EQ(services.control.setFullScreen(window, true), WindowResult::ok);
    EXPECT_TRUE(services.window(pid)->fullScreen);
    EXPECT_EQ(services.control.setFullScreen(*services.window(pid), false), WindowResult::ok);
    EXPECT_FALSE(services.window(pid)->fullScreen);

    killAll(services.session, started);
    ASSERT_TRUE(SwaySession::waitUntil([&] { return !services.control.windows(pid); }));
    EXPECT_EQ(services.control.activate(window), WindowResult::gone);
    EXPECT_EQ(services.control.raise(window), WindowResult::gone);
    EXPECT_EQ(services.control.setFullScreen(window, true), WindowResult::gone);
    EXPECT_EQ(services.control.setFrame(window, {10, 10, 300, 200}), WindowResult::gone);
    EXPECT_EQ(services.control.setMinimized(window, true), WindowResult::gone);
    EXPECT_TRUE(services.control.isWindowManagerRunning());
}

// Workers and the main thread at once (a long-press move runs on a worker while the main thread
// reads): every call gets whole replies of its own.
TEST(SwayWindowControl, CallsFromSeveralThreadsAtOnceEachGetTheirOwnReplies) {
    Services services;
    std::vector<pid_t> started;
    const ProcessID pid = services.foot("halvo-threads", started);
    std::atomic<int> wrong = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                const auto windows = services.control.windows(pid);
                if (!windows || windows->windows.size() != 1 ||
                    services.control.raise(windows->windows.front()) != WindowResult::ok)
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 50; ++i) {
        if (!services.workspace.frontmostApplication())
            ++wrong;
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrong, 0);
    killAll(services.session, started);
}

TEST(SwayScreens, OutputsPrimaryFirstAndTheFocusedOneFollowsEvents) {
    Services services;
    const std::vector<Screen> screens = services.screens.screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].name, "HEADLESS-1");
    EXPECT_EQ(screens[0].frame, (Rect{0, 0, 1280, 1024}));
    EXPECT_EQ(screens[1].name, "HEADLESS-2");
    EXPECT_EQ(screens[1].frame, (Rect{1280, 0, 1280, 1024}));
    EXPECT_EQ(screens[1].visibleFrame, screens[1].frame); // no bar in this session
    // The overlay finds its output by these frames and names.
    const auto placement = LayerPlacement::forFrame({1280 + 400, 100, 480, 148}, screens);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->outputName, "HEADLESS-2");
    ASSERT_TRUE(services.session.command("focus output HEADLESS-2"));
    EXPECT_TRUE(processEventsUntil([&] {
        const auto main = services.screens.mainScreen();
        return main && main->name == "HEADLESS-2";
    }));
    EXPECT_EQ(services.screens.mouseLocation(), (Point{1280 + 640, 512}));
    ASSERT_TRUE(services.session.command("focus output HEADLESS-1"));
    EXPECT_TRUE(
        processEventsUntil([&] { return services.screens.mainScreen()->name == "HEADLESS-1"; }));
}

// A scale change comes with no event on sway 1.7 (output events are refused, the workspaces
// stay): the next show of the overlay reads the outputs again and centres it on the focused output
// at its new logical size, and again after the scale is set back.
TEST(SwayScreens, AScaleChangeIsSeenAtTheNextShow) {
    Services services;
    MinimapPanelController overlay(services.screens, [](MinimapModel&, MinimapActions) {
        return std::make_unique<SimPanel>();
    });
    std::vector<TrackedApp> apps;
    for (int i = 0; i < 8; ++i) {
        const std::string id = "app." + std::to_string(i);
        apps.push_back({id, id, "App " + std::to_string(i), 100 + i, nullptr});
    }
    overlay.model().apps = apps;
    const auto shownFrame = [&] {
        services.screens.expectMouseLocation(); // as the controller does before each show
        overlay.updateFrame();
        overlay.show();
        const Rect frame = overlay.panel()->frame();
        overlay.hide();
        return frame;
    };
    ASSERT_TRUE(services.session.command("focus output HEADLESS-1"));
    ASSERT_TRUE(
        processEventsUntil([&] { return services.screens.mainScreen()->name == "HEADLESS-1"; }));
    for (const auto& [scale, width, height] :
         {std::tuple{2, 640.0, 512.0}, std::tuple{1, 1280.0, 1024.0}}) {
        ASSERT_TRUE(services.session.command("output HEADLESS-1 scale " + std::to_string(scale)));
        QCoreApplication::processEvents();
        const Rect frame = shownFrame();
        EXPECT_EQ(services.screens.screens()[0].frame, (Rect{0, 0, width, height}))
            << "scale " << scale;
        EXPECT_NEAR(frame.midX(), width / 2, 1) << "scale " << scale;
        EXPECT_LE(frame.maxX(), width) << "scale " << scale;
    }
}

// A session of its own with a bar at the top: the visible frame leaves the bar out.
TEST(SwayScreens, VisibleFrameLeavesOutWhatABarReserves) {
    SwaySession::Options options;
    options.twoOutputs = false;
    options.extraConfig = "bar {\n  position top\n  height 40\n}\n";
    SwaySession session(options);
    ASSERT_TRUE(session.ok()) << session.error();
    SwayIpcPool pool(session.swaySocket());
    SwayIpcEvents events(session.swaySocket(), {"workspace"});
    SwayScreens screens(pool, events);
    // swaybar starts after sway; its exclusive zone rearranges the workspace without an event,
    // and is seen when the overlay is next shown.
    const bool reserved = processEventsUntil([&] {
        screens.expectMouseLocation();
        const auto all = screens.screens();
        return all.size() == 1 && all[0].visibleFrame.height < 1024;
    });
    ASSERT_TRUE(reserved) << session.query("get_workspaces").dump();
    const Screen screen = screens.screens()[0];
    EXPECT_EQ(screen.frame, (Rect{0, 0, 1280, 1024}));
    // A bar at the top lowers the visible frame's top edge.
    EXPECT_EQ(screen.visibleFrame.minY(), 40);
    EXPECT_EQ(screen.visibleFrame.maxY(), 1024);
}

} // namespace
} // namespace halvo::test
