// The running-apps tracker against scripted applications: the cases where switchers go wrong
// (fast steps, their own activation reports, launches and quits mid-switch, late completions).
#include "core/RunningAppsTracker.h"

#include "platform/sim/SimMainQueue.h"
#include "platform/sim/SimSystemSound.h"
#include "platform/sim/SimUserDefaults.h"

#include <gtest/gtest.h>
#include <map>

using namespace halvo;
using Ids = std::vector<std::string>;

namespace {

TrackedApp app(const std::string& id, ProcessID pid) {
    return TrackedApp{id, id, id + " app", pid, nullptr};
}

// The applications and activations that the injected environment reports.
struct Desktop {
    std::vector<TrackedApp> running;
    std::optional<std::string> frontmost;
    std::string lastExcluded;
    struct Request {
        ProcessID pid;
        RunningAppsTracker::ActivationCompletion completion;
    };
    std::vector<Request> requests;
    std::optional<bool> completeSynchronously;

    struct Move {
        ProcessID pid;
        Screen screen;
        RunningAppsTracker::MoveCompletion completion;
    };
    std::vector<Move> moves;

    RunningAppsTracker::Environment environment() {
        return {[this](const std::string& excluded) {
                    lastExcluded = excluded;
                    return running;
                },
                [this] { return frontmost; },
                [this](ProcessID pid, RunningAppsTracker::ActivationCompletion completion) {
                    if (completeSynchronously) {
                        completion(*completeSynchronously);
                        return;
                    }
                    requests.push_back({pid, std::move(completion)});
                },
                {}};
    }

    std::vector<ProcessID> requestedPids() const {
        std::vector<ProcessID> pids;
        for (const auto& request : requests)
            pids.push_back(request.pid);
        return pids;
    }
};

class RunningAppsTrackerTest : public ::testing::Test {
protected:
    RunningAppsTrackerTest() {
        desktop.running = {app("A", 1), app("B", 2), app("C", 3), app("D", 4)};
        desktop.frontmost = "A";
    }

    RunningAppsTracker& start() {
        tracker = std::make_unique<RunningAppsTracker>(
            AppOrderStore(defaults), desktop.environment(),
            RunningAppsTracker::Services{
                queue, sound, [this](ProcessID pid, const Screen& screen, auto completion) {
                    desktop.moves.push_back({pid, screen, std::move(completion)});
                }});
        return *tracker;
    }

    Ids ids() const {
        Ids result;
        for (const TrackedApp& a : tracker->apps().get())
            result.push_back(a.bundleIdentifier);
        return result;
    }
    std::optional<std::string> selected() const { return tracker->selectedBundleID().get(); }

    // The workspace reports a change: the refresh a notification would cause.
    void frontmostBecomes(const std::string& id) {
        desktop.frontmost = id;
        tracker->refresh(false);
    }

    SimUserDefaults defaults;
    SimMainQueue queue;
    SimSystemSound sound;
    Desktop desktop;
    std::unique_ptr<RunningAppsTracker> tracker;
};

const Screen rightScreen{2, "RIGHT", {1280, 0, 1280, 1024}, {1280, 0, 1280, 1024}};

} // namespace

TEST_F(RunningAppsTrackerTest, StartsWithCustomOrderFrontmostSelectedAndItselfExcluded) {
    defaults.preset(AppOrderStore::customAppOrderKey, Ids{"C", "A"});
    start();
    EXPECT_EQ(desktop.lastExcluded, "Halvo");
    EXPECT_EQ(ids(), (Ids{"C", "A", "B", "D"}));
    EXPECT_EQ(selected(), "A");
    EXPECT_FALSE(tracker->isSwitching());
    EXPECT_TRUE(desktop.requests.empty());
}

TEST_F(RunningAppsTrackerTest, FastStepsWalkOnFromThePendingActivation) {
    start();
    for (int i = 0; i < 3; ++i)
        tracker->cycle(false);
    EXPECT_EQ(selected(), "D");
    EXPECT_EQ(desktop.requestedPids(), (std::vector<ProcessID>{2, 3, 4}));
    EXPECT_EQ(desktop.frontmost, "A") << "nothing came forward yet";
    EXPECT_TRUE(tracker->isSwitching());
}

TEST_F(RunningAppsTrackerTest, OwnActivationReportsNeverMoveTheSelection) {
    start();
    tracker->endSwitching();
    // A click in the overlay (no switch open) activates C; B turns up frontmost meanwhile.
    tracker->activate("C");
    frontmostBecomes("B");
    EXPECT_EQ(selected(), "C") << "refresh while pending must leave the selection";
    // C's activation completes, but B is still the frontmost the last refresh saw.
    desktop.requests.back().completion(true);
    EXPECT_EQ(selected(), "C");
    // A later, real change of the frontmost application is followed again.
    frontmostBecomes("D");
    EXPECT_EQ(selected(), "D");
}

TEST_F(RunningAppsTrackerTest, SameFrontmostAsBeforeLeavesAnotherSelectionAlone) {
    start();
    tracker->activate("C");
    desktop.requests.back().completion(false);
    EXPECT_EQ(selected(), "C") << "a failed activation keeps the selection";
    tracker->refresh(false);
    EXPECT_EQ(selected(), "C");
}

TEST_F(RunningAppsTrackerTest, AFailedActivationWhileAnotherAppCameForwardKeepsTheSelection) {
    start();
    tracker->activate("C");
    desktop.frontmost = "D"; // D came forward; its notification has not been handled yet
    desktop.requests.back().completion(false);
    EXPECT_EQ(selected(), "C") << "the completion's refresh still counts as in flight";
    frontmostBecomes("B");
    EXPECT_EQ(selected(), "B") << "nothing is in flight any more";
}

TEST_F(RunningAppsTrackerTest, LaunchAndQuitDuringSwitchWaitForEndSwitching) {
    start();
    tracker->beginSwitching();
    tracker->cycle(false); // B
    desktop.running = {app("A", 1), app("B", 2), app("D", 4), app("E", 5)};
    frontmostBecomes("E");
    EXPECT_EQ(tracker->frontmostBundleID().get(), "E");
    EXPECT_EQ(ids(), (Ids{"A", "B", "C", "D"}));
    EXPECT_EQ(selected(), "B");

    int appsPublished = 0;
    auto subscription = tracker->apps().subscribe([&](const auto&) { ++appsPublished; });
    tracker->endSwitching();
    EXPECT_EQ(appsPublished, 1);
    EXPECT_EQ(ids(), (Ids{"A", "B", "D", "E"}));
    EXPECT_EQ(selected(), "B") << "the selection made during the switch stays";
    EXPECT_FALSE(tracker->isSwitching());
    EXPECT_EQ(defaults.stringArrayForKey(AppOrderStore::customAppOrderKey),
              (Ids{"A", "B", "C", "D", "E"}))
        << "C keeps its slot while not running";
}

TEST_F(RunningAppsTrackerTest, SelectedAppThatQuitsFallsBackToTrackedFrontmost) {
    start();
    tracker->activate("C");
    desktop.requests.back().completion(true);
    desktop.running = {app("A", 1), app("B", 2), app("D", 4)};
    desktop.frontmost = "D";
    tracker->refresh(true);
    EXPECT_EQ(selected(), "D");
    // Frontmost outside the list: nothing to fall back to.
    desktop.running = {app("A", 1)};
    desktop.frontmost = "Z";
    tracker->refresh(true);
    EXPECT_EQ(selected(), std::nullopt);
}

TEST_F(RunningAppsTrackerTest, LongPressDuringPendingActivationMovesOnlyAfterSuccess) {
    start();
    tracker->cycle(false); // B, pending
    tracker->moveSelectedApp(rightScreen);
    queue.runPending();
    EXPECT_TRUE(desktop.moves.empty());
    desktop.requests[0].completion(true);
    queue.runPending();
    ASSERT_EQ(desktop.moves.size(), 1u);
    EXPECT_EQ(desktop.moves[0].pid, 2);
    EXPECT_EQ(desktop.moves[0].screen, rightScreen);
}

TEST_F(RunningAppsTrackerTest, PendingMoveIsDroppedByAnotherStepOrAFailedActivation) {
    start();
    tracker->cycle(false); // B
    tracker->moveSelectedApp(rightScreen);
    tracker->cycle(false);                // C drops the move
    desktop.requests[0].completion(true); // superseded: ignored
    desktop.requests[1].completion(true);
    tracker->moveSelectedApp(rightScreen); // nothing pending now: moves C at once
    tracker->cycle(false);                 // D
    tracker->moveSelectedApp(rightScreen);
    desktop.requests[2].completion(false);
    queue.runPending();
    ASSERT_EQ(desktop.moves.size(), 1u);
    EXPECT_EQ(desktop.moves[0].pid, 3);
}

TEST_F(RunningAppsTrackerTest, SupersededCompletionChangesNothing) {
    start();
    tracker->cycle(false); // B
    tracker->cycle(false); // C
    desktop.running.pop_back();
    desktop.frontmost = "B";
    tracker->endSwitching();
    const Ids before = ids();
    int published = 0;
    auto selections = tracker->selectedBundleID().subscribe([&](const auto&) { ++published; });
    auto lists = tracker->apps().subscribe([&](const auto&) { ++published; });
    desktop.requests[0].completion(true);
    EXPECT_EQ(published, 0) << "no refresh may run for a superseded request";
    EXPECT_EQ(selected(), "C");
    // C is still in flight, so a long press must still wait for it.
    tracker->moveSelectedApp(rightScreen);
    queue.runPending();
    EXPECT_TRUE(desktop.moves.empty());
}

TEST_F(RunningAppsTrackerTest, SynchronousCompletionBehavesLikeAsynchronous) {
    desktop.completeSynchronously = true;
    start();
    tracker->cycle(false);
    desktop.frontmost = "B";
    tracker->cycle(false);
    EXPECT_EQ(selected(), "C");
    tracker->moveSelectedApp(rightScreen); // nothing pending: moves C now
    queue.runPending();
    ASSERT_EQ(desktop.moves.size(), 1u);
    EXPECT_EQ(desktop.moves[0].pid, 3);
    tracker->endSwitching();
    EXPECT_EQ(selected(), "C");
}

TEST_F(RunningAppsTrackerTest, CompletionAfterTrackerIsGoneIsIgnored) {
    start();
    tracker->cycle(false);
    tracker->moveSelectedApp(Screen{7, "LEFT", {0, 0, 1280, 1024}, {0, 0, 1280, 1024}});
    auto completion = desktop.requests[0].completion;
    tracker.reset();
    desktop.lastExcluded.clear();
    completion(true); // must not touch the destroyed tracker
    queue.runPending();
    EXPECT_EQ(desktop.lastExcluded, "") << "a late completion refreshed a destroyed tracker";
    EXPECT_TRUE(desktop.moves.empty()) << "a late completion started the waiting move";
}

TEST_F(RunningAppsTrackerTest, WindowMoveBeepsWhenWindowsStayBehindOrNoneWasFound) {
    start();
    struct Case {
        std::int64_t moved, unchanged, skipped;
        int beeps;
    };
    const Case cases[] = {{2, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 1, 1}, {0, 0, 0, 1}};
    int expectedBeeps = 0;
    for (const Case& c : cases) {
        tracker->moveSelectedApp(rightScreen);
        queue.runPending();
        desktop.moves.back().completion(c.moved, c.unchanged, c.skipped);
        expectedBeeps += c.beeps;
        EXPECT_EQ(sound.beeps(), expectedBeeps) << c.moved << c.unchanged << c.skipped;
    }
    EXPECT_EQ(desktop.moves.back().pid, 1) << "the selection is A";
}

TEST_F(RunningAppsTrackerTest, MoveWithNothingSelectedOrFrontmostDoesNothing) {
    desktop.frontmost.reset();
    start();
    tracker->moveSelectedApp(rightScreen);
    queue.runPending();
    EXPECT_TRUE(desktop.moves.empty());
}

TEST_F(RunningAppsTrackerTest, CycleWithNoAppsOpensSwitchOnly) {
    desktop.running.clear();
    start();
    tracker->cycle(true);
    EXPECT_TRUE(tracker->isSwitching());
    EXPECT_TRUE(desktop.requests.empty());
    tracker->activate("A");
    EXPECT_TRUE(desktop.requests.empty());
}

TEST_F(RunningAppsTrackerTest, ReorderStoresOrderAndKeepsSelection) {
    start();
    tracker->reorder(0, 4);
    EXPECT_EQ(ids(), (Ids{"B", "C", "D", "A"}));
    EXPECT_EQ(defaults.stringArrayForKey(AppOrderStore::customAppOrderKey),
              (Ids{"B", "C", "D", "A"}));
    EXPECT_EQ(tracker->apps()->back().name, "A app");
    tracker->reorder(5, 0);
    EXPECT_EQ(ids(), (Ids{"B", "C", "D", "A"}));
    EXPECT_EQ(selected(), "A");
    tracker->refresh(false);
    EXPECT_EQ(ids(), (Ids{"B", "C", "D", "A"})) << "the stored order survives a refresh";
}

TEST(RunningAppsTrackerCycledIndex, WrapsAndStartsAtTheEnds) {
    const Ids ids{"A", "B", "C"};
    using T = RunningAppsTracker;
    EXPECT_EQ(T::cycledIndex("C", ids, false), 0u);
    EXPECT_EQ(T::cycledIndex("A", ids, true), 2u);
    EXPECT_EQ(T::cycledIndex("B", ids, false), 2u);
    EXPECT_EQ(T::cycledIndex(std::nullopt, ids, false), 0u);
    EXPECT_EQ(T::cycledIndex("Z", ids, true), 2u);
    EXPECT_EQ(T::cycledIndex("A", Ids{"A"}, true), 0u);
    EXPECT_EQ(T::cycledIndex("A", Ids{}, false), std::nullopt);
}

namespace {

// A workspace that lists what the test puts in it and keeps its observers.
class FakeWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> apps;
    std::optional<RunningApplication> frontmost;
    std::map<ObserverToken, std::pair<WorkspaceNotification, std::function<void()>>> observers;
    std::vector<ObserverToken> removed;

    std::vector<RunningApplication> runningApplications() override { return apps; }
    std::optional<RunningApplication> runningApplication(ProcessID) override { return {}; }
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    void unhide(ProcessID) override {}
    void openApplication(ProcessID, OpenCompletion) override {}
    bool activate(ProcessID) override { return true; }
    bool openURL(const std::string&) override { return false; }
    ObserverToken addObserver(WorkspaceNotification name, std::function<void()> handler) override {
        observers.emplace(++m_next, std::make_pair(name, std::move(handler)));
        return m_next;
    }
    void removeObserver(ObserverToken token) override {
        removed.push_back(token);
        observers.erase(token);
    }
    void notify(WorkspaceNotification name) {
        for (auto& [token, entry] : observers)
            if (entry.first == name)
                entry.second();
    }

private:
    ObserverToken m_next = 0;
};

RunningApplication running(ProcessID pid, std::optional<std::string> id,
                           ActivationPolicy policy = ActivationPolicy::regular,
                           bool terminated = false) {
    RunningApplication a;
    a.processIdentifier = pid;
    a.bundleIdentifier = std::move(id);
    a.activationPolicy = policy;
    a.isTerminated = terminated;
    return a;
}

} // namespace

TEST(RunningAppsTrackerLive, ListsOnlyRegularNamedLiveAppsOncePerIdentifier) {
    FakeWorkspace workspace;
    workspace.apps = {running(1, "XTerm"),
                      running(2, "Halvo"),
                      running(3, std::nullopt),
                      running(4, "Tint2", ActivationPolicy::prohibited),
                      running(5, "XCalc", ActivationPolicy::regular, true),
                      running(6, "XTerm"),
                      running(7, "XLogo")};
    const auto environment = RunningAppsTracker::Environment::live(workspace, {});
    const auto apps = environment.runningApps(RunningAppsTracker::ownBundleIdentifier);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].bundleIdentifier, "XTerm");
    EXPECT_EQ(apps[0].processIdentifier, 1);
    EXPECT_EQ(apps[1].bundleIdentifier, "XLogo");

    EXPECT_EQ(environment.frontmostBundleID(), std::nullopt);
    workspace.frontmost = running(4, "Tint2", ActivationPolicy::prohibited);
    EXPECT_EQ(environment.frontmostBundleID(), std::nullopt);
    workspace.frontmost = running(7, "XLogo");
    EXPECT_EQ(environment.frontmostBundleID(), "XLogo");
}

TEST(RunningAppsTrackerLive, NotificationsRefreshLaterAndObserversGoWithTheTracker) {
    FakeWorkspace workspace;
    workspace.apps = {running(1, "XTerm")};
    SimUserDefaults defaults;
    SimMainQueue queue;
    SimSystemSound sound;
    std::vector<ProcessID> activated;
    auto tracker = std::make_unique<RunningAppsTracker>(
        AppOrderStore(defaults), workspace, [&](ProcessID pid, auto) { activated.push_back(pid); },
        RunningAppsTracker::Services{queue, sound, {}});
    EXPECT_EQ(workspace.observers.size(), 5u);

    workspace.apps.push_back(running(2, "XLogo"));
    workspace.notify(WorkspaceNotification::didLaunchApplication);
    EXPECT_EQ(tracker->apps()->size(), 1u) << "the refresh runs as a later main-queue step";
    queue.runPending();
    EXPECT_EQ(tracker->apps()->size(), 2u);

    tracker->activate("XLogo");
    EXPECT_EQ(activated, (std::vector<ProcessID>{2}));

    workspace.notify(WorkspaceNotification::didUnhideApplication);
    tracker.reset();
    EXPECT_TRUE(workspace.observers.empty());
    EXPECT_EQ(workspace.removed.size(), 5u);
    queue.runPending(); // the refresh posted before destruction must find the tracker gone
}
