// The program under load: clients coming and going by the hundred while the user switches, and
// a storm of arrow presses. HALVO_FAULT_CLIENTS and HALVO_FAULT_STORM_SECONDS scale them up for
// runs by hand (scripts/faults).
#include "support/HalvoDesktop.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <gtest/gtest.h>
#include <thread>

using namespace halvo::test;

namespace {

int setting(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// Log lines that report an X protocol error on either of the program's connections.
bool hasXError(const std::string& log) {
    return log.find("XCB error") != std::string::npos || log.find("X Error") != std::string::npos;
}

// Waits until the active window has stayed the same for half a second.
bool activeWindowSettles(DesktopWatcher& watcher) {
    xcb_window_t last = watcher.activeWindow();
    auto since = std::chrono::steady_clock::now();
    return watcher.waitFor([&] {
        const auto now = std::chrono::steady_clock::now();
        if (const xcb_window_t active = watcher.activeWindow(); active != last) {
            last = active;
            since = now;
        }
        return now - since >= std::chrono::milliseconds(500);
    });
}

// xterm and xlogo (in front) on a private desktop, and halvo running on it.
class FaultLoadTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.ok() && desktop.startClients(HalvoDesktop::twoClients))
            << desktop.error();
        halvo = desktop.startHalvo();
        ASSERT_TRUE(desktop.started(*halvo)) << "halvo did not start:\n" << halvo->log();
    }

    HalvoDesktop desktop;
    std::unique_ptr<HalvoProgram> halvo;
};

} // namespace

TEST_F(FaultLoadTest, SurvivesClientsComingAndGoingWhileSwitching) {
    const int total = setting("HALVO_FAULT_CLIENTS", 150);

    // xclocks start and die in a thread of their own, at most eight alive at a time; each is
    // killed at a random point of its start-up, some before they map a window.
    std::atomic<bool> done{false};
    std::atomic<int> started{0};
    std::thread churn([&] {
        std::deque<pid_t> alive;
        std::srand(8);
        for (int i = 0; i < total; ++i) {
            alive.push_back(desktop.session().spawn(
                {"xclock", "-name", "churn" + std::to_string(i % 25), "-geometry", "60x60"}));
            ++started;
            if (alive.size() > 8) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::rand() % 20));
                desktop.session().kill(alive.front());
                alive.pop_front();
            }
        }
        for (pid_t pid : alive)
            desktop.session().kill(pid);
        done = true;
    });

    int switches = 0;
    const auto begin = std::chrono::steady_clock::now();
    while (!done) {
        desktop.holdCombination();
        desktop.waitForOverlay(true, 2);
        desktop.keyboard().tap("Right");
        desktop.keyboard().tap("Right");
        desktop.keyboard().tap("Left");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        desktop.releaseCombination();
        ++switches;
        if (!halvo->running())
            break;
    }
    churn.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("%d clients started and killed, %d switches, %.1f s\n", started.load(), switches,
                seconds);

    ASSERT_TRUE(halvo->running()) << halvo->log();
    EXPECT_FALSE(hasXError(halvo->log())) << halvo->log();
    // Back to the two long-lived clients: switching still works at once. First the window
    // manager lets go of the last xclocks, and the activation the last switch started lands
    // (it is confirmed within a fifth of a second): a step taken before goes on from that
    // activation, not from what the test brings forward. The churn's clients are of a class of
    // their own: had they been xlogos, bringing xlogo forward would not count as a change of the
    // frontmost app, and the switch would start from the selection instead.
    ASSERT_TRUE(
        desktop.watcher().waitFor([&] { return desktop.client("XClock") == XCB_WINDOW_NONE; }));
    ASSERT_TRUE(activeWindowSettles(desktop.watcher()));
    desktop.watcher().requestActivation(desktop.client("XLogo"));
    ASSERT_TRUE(desktop.waitForActive("XLogo"))
        << "active: " << desktop.watcher().activeClass()
        << ", window manager running: " << (desktop.session().windowManagerCheck() != 0) << "\n"
        << halvo->log();
    EXPECT_TRUE(desktop.switchOnce(2)) << halvo->log();
}

TEST_F(FaultLoadTest, StaysResponsiveAfterAThousandStepsASecond) {
    const int seconds = setting("HALVO_FAULT_STORM_SECONDS", 10);
    ASSERT_TRUE(desktop.switchOnce());
    const long before = halvo->residentKiB();

    desktop.holdCombination();
    ASSERT_TRUE(desktop.waitForOverlay(true));
    const auto begin = std::chrono::steady_clock::now();
    const auto end = begin + std::chrono::seconds(seconds);
    int steps = 0;
    long peak = before;
    int descriptors = halvo->openDescriptors();
    // One Right press and release per millisecond, paced against the clock.
    while (std::chrono::steady_clock::now() < end) {
        desktop.keyboard().tap("Right");
        ++steps;
        std::this_thread::sleep_until(begin + std::chrono::milliseconds(steps));
        if (steps % 500 == 0) {
            peak = std::max(peak, halvo->residentKiB());
            descriptors = std::max(descriptors, halvo->openDescriptors());
        }
    }
    desktop.releaseCombination();
    std::printf("%d steps in %d s; resident %ld KiB before, %ld KiB at most during; at most %d "
                "descriptors open\n",
                steps, seconds, before, peak, descriptors);
    // Each step starts a timer and cancels the last: a descriptor each would pile up by hundreds.
    EXPECT_LT(descriptors, 64) << "descriptors held during the storm";

    EXPECT_TRUE(desktop.waitForOverlay(false, 10))
        << "the overlay is still up 10 s after the storm";
    ASSERT_TRUE(halvo->running()) << halvo->log();
    // Every step counted: from xterm, an odd number of them ends on xlogo. Its activation comes
    // a moment after the release; a switch begun before it lands would start from there, back to
    // the window still active.
    const xcb_window_t last = desktop.client(steps % 2 == 1 ? "XLogo" : "XTerm");
    EXPECT_TRUE(desktop.waitForActive(last, 10))
        << "the storm's last step was not brought forward\n"
        << halvo->log();
    // The first switch after the storm works: the active window before it and the one it
    // brought are named when it does not.
    const xcb_window_t activeBefore = desktop.watcher().activeWindow();
    EXPECT_TRUE(desktop.switchOnce(10)) << "active before: " << activeBefore
                                        << ", after: " << desktop.watcher().activeWindow() << "\n"
                                        << halvo->log();
    const long after = halvo->residentKiB();
    std::printf("resident %ld KiB after\n", after);
    EXPECT_LT(peak - before, 64 * 1024) << "memory grew by more than 64 MB during the storm";
    EXPECT_FALSE(hasXError(halvo->log())) << halvo->log();
}
