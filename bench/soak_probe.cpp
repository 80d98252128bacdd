// Soak: the real halvo program under a long random workload on a private Xvfb + openbox desktop
// with two monitors: switches with random Left/Right steps, long presses, Up/Down, quick bursts,
// the modifiers released in random order, drags in the overlay, and applications started and
// killed meanwhile. Samples the resident memory every 30 s and fails (exit status 1) when halvo
// exits, stops showing its overlay, or its memory grows by 2 MiB or more after the warm-up.
// Run through bench/soak.
#include "support/ProcessFigures.h"
#include "support/RootWatcher.h"
#include "support/XTestKeyboard.h"
#include "support/XvfbSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

using halvo::test::ProcessFigures;
using halvo::test::RootWatcher;
using halvo::test::XTestKeyboard;
using halvo::test::XvfbSession;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long allowedGrowthKiB = 2048;

void pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Soak {
public:
    Soak(XvfbSession& session, RootWatcher& watcher, XTestKeyboard& keys, unsigned seed)
        : m_session(session), m_watcher(watcher), m_keys(keys), m_random(seed) {}

    xcb_window_t overlay = 0;

    // One random action; false when halvo stopped answering.
    bool step() {
        const int pick = uniform(0, 99);
        if (pick < 55)
            return switchAround();
        if (pick < 70)
            return reorder();
        if (pick < 80)
            return burst();
        churn();
        return true;
    }

    // Control+Alt down and the overlay mapped within `seconds`.
    bool holdAndWaitForOverlay(double seconds = 2) {
        m_watcher.drain();
        holdModifiers();
        return m_watcher
            .waitFor(
                [&](const RootWatcher::Event& e) {
                    return e.type == XCB_MAP_NOTIFY && e.window == overlay;
                },
                seconds)
            .has_value();
    }

    void releaseModifiers() {
        // In random order: the combination ends with whichever goes first.
        if (uniform(0, 1)) {
            m_keys.queue("Alt_L", false);
            m_keys.queue("Control_L", false);
        } else {
            m_keys.queue("Control_L", false);
            m_keys.queue("Alt_L", false);
        }
        m_keys.sync();
        m_watcher.waitFor(
            [&](const RootWatcher::Event& e) {
                return e.type == XCB_UNMAP_NOTIFY && e.window == overlay;
            },
            1);
    }

    void stopChurn() {
        for (pid_t pid : m_churn)
            m_session.kill(pid);
        m_churn.clear();
    }

    std::map<std::string, int> counts;

private:
    int uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

    void holdModifiers() {
        if (uniform(0, 1)) {
            m_keys.queue("Control_L", true);
            m_keys.queue("Alt_L", true);
        } else {
            m_keys.queue("Alt_L", true);
            m_keys.queue("Control_L", true);
        }
        m_keys.flush();
    }

    void tap(const char* key, double holdSeconds) {
        m_keys.queue(key, true);
        m_keys.sync();
        if (holdSeconds > 0)
            pause(holdSeconds);
        m_keys.queue(key, false);
        m_keys.sync();
    }

    bool switchAround() {
        ++counts["switches"];
        if (!holdAndWaitForOverlay())
            return false;
        const int steps = uniform(1, 6);
        for (int i = 0; i < steps; ++i) {
            const int kind = uniform(0, 99);
            const char* arrow = uniform(0, 1) ? "Right" : "Left";
            if (kind < 8) {
                ++counts["long presses"];
                tap(arrow, 0.65 + uniform(0, 20) / 100.0);
            } else if (kind < 12) {
                ++counts["full-screen toggles"];
                tap(uniform(0, 1) ? "Up" : "Down", 0);
                pause(0.1);
            } else {
                ++counts["steps"];
                tap(arrow, uniform(0, 30) / 1000.0);
            }
            pause(uniform(0, 80) / 1000.0);
        }
        releaseModifiers();
        pause(uniform(0, 250) / 1000.0);
        return true;
    }

    bool burst() {
        ++counts["bursts"];
        if (!holdAndWaitForOverlay())
            return false;
        const int taps = uniform(10, 40);
        for (int i = 0; i < taps; ++i) {
            const char* arrow = uniform(0, 3) ? "Right" : "Left";
            m_keys.queue(arrow, true);
            m_keys.queue(arrow, false);
            m_keys.flush();
            pause(0.005);
        }
        m_keys.sync();
        releaseModifiers();
        pause(0.2);
        return true;
    }

    // Drags inside the visible overlay from one random spot to another, then lets go.
    bool reorder() {
        ++counts["drags"];
        if (!holdAndWaitForOverlay())
            return false;
        xcb_connection_t* c = m_keys.connection();
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, overlay), nullptr);
        if (geometry) {
            const int y = geometry->y + geometry->height / 2;
            const int from = geometry->x + uniform(20, std::max(21, geometry->width - 20));
            const int to = geometry->x + uniform(20, std::max(21, geometry->width - 20));
            std::free(geometry);
            pointer(XCB_MOTION_NOTIFY, 0, from, y);
            pointer(XCB_BUTTON_PRESS, 1, from, y);
            const int moves = 8;
            for (int i = 1; i <= moves; ++i) {
                pointer(XCB_MOTION_NOTIFY, 0, from + (to - from) * i / moves, y);
                pause(0.015);
            }
            pointer(XCB_BUTTON_RELEASE, 1, to, y);
            pause(0.05);
        }
        releaseModifiers();
        pause(0.1);
        return true;
    }

    void pointer(uint8_t type, uint8_t detail, int x, int y) {
        xcb_connection_t* c = m_keys.connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, root, static_cast<int16_t>(x),
                            static_cast<int16_t>(y), 0);
        m_keys.sync();
    }

    void churn() {
        if (!m_churn.empty() && (m_churn.size() >= 8 || uniform(0, 1))) {
            ++counts["apps killed"];
            const size_t index =
                static_cast<size_t>(uniform(0, static_cast<int>(m_churn.size()) - 1));
            m_session.kill(m_churn[index]);
            m_churn.erase(m_churn.begin() + static_cast<long>(index));
            return;
        }
        ++counts["apps started"];
        const char* programs[] = {"xlogo", "xterm", "xcalc", "xeyes"};
        m_churn.push_back(m_session.spawn({programs[uniform(0, 3)]}));
        pause(0.1);
    }

    XvfbSession& m_session;
    RootWatcher& m_watcher;
    XTestKeyboard& m_keys;
    std::mt19937 m_random;
    std::vector<pid_t> m_churn;
};

} // namespace

int main(int argc, char** argv) {
    std::string halvoPath = "build/halvo";
    std::string crowd = argv[0];
    crowd = crowd.substr(0, crowd.rfind('/') + 1) + "window_crowd";
    double minutes = 10;
    unsigned seed = static_cast<unsigned>(std::random_device{}());
    std::string log = "/tmp/halvo-soak.log";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--halvo")
            halvoPath = value;
        else if (arg == "--minutes")
            minutes = std::atof(value.c_str());
        else if (arg == "--seed")
            seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (arg == "--log")
            log = value;
        else {
            std::fprintf(stderr, "usage: soak_probe [--halvo PATH] [--minutes M] [--seed N] "
                                 "[--log FILE]\n");
            return 2;
        }
        ++i;
    }

    XvfbSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
        return 1;
    }
    char configTemplate[] = "/tmp/halvo-soak-config-XXXXXX";
    const std::string config = mkdtemp(configTemplate) ? configTemplate : "/tmp";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::ofstream(log, std::ios::trunc).flush();
    RootWatcher watcher(session.display());
    XTestKeyboard keys(session.display());

    session.spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                   "--height", "28", "--SetDockType", "true", "--monitor", "0"});
    session.spawn({crowd, "20", "--groups", "12"});
    XvfbSession::waitUntil([&] { return watcher.clientCount() >= 20; }, 20);

    const pid_t halvo = session.spawn({"/bin/sh", "-c", "exec \"$0\" 2>>\"$1\"", halvoPath, log});
    Soak soak(session, watcher, keys, seed);
    XvfbSession::waitUntil(
        [&] { return (soak.overlay = watcher.childNamed("Halvo overlay")) != 0; }, 15);
    if (!soak.overlay) {
        std::fprintf(stderr, "halvo did not start; see %s\n", log.c_str());
        return 1;
    }
    std::printf("soak: %.1f minutes, seed %u, display %s, halvo's log %s\n", minutes, seed,
                session.display().c_str(), log.c_str());

    const auto start = Clock::now();
    const double total = minutes * 60;
    const double warmUp = std::min(60.0, total / 10);
    long baseline = 0;
    long peak = 0;
    long last = 0;
    double nextSample = 0;
    std::string failure;
    while (secondsSince(start) < total) {
        if (!ProcessFigures::alive(halvo)) {
            failure = "halvo exited";
            break;
        }
        if (!soak.step()) {
            failure = "the overlay did not show on Control+Alt";
            break;
        }
        const double now = secondsSince(start);
        if (now >= nextSample) {
            last = ProcessFigures::of(halvo).rssKiB;
            if (baseline == 0 && now >= warmUp)
                baseline = last;
            peak = std::max(peak, last);
            std::printf("soak: %5.0f s  RSS %s\n", now, ProcessFigures::mib(last).c_str());
            std::fflush(stdout);
            nextSample = now + 30;
        }
    }
    soak.stopChurn();
    pause(1);
    if (failure.empty() && !ProcessFigures::alive(halvo))
        failure = "halvo exited";
    if (failure.empty() && !soak.holdAndWaitForOverlay())
        failure = "the overlay did not show on Control+Alt at the end";
    soak.releaseModifiers();
    pause(1);
    const long final = ProcessFigures::of(halvo).rssKiB;
    if (baseline == 0)
        baseline = final;
    const long growth = final - baseline;
    if (failure.empty() && growth >= allowedGrowthKiB)
        failure = "resident memory grew by " + std::to_string(growth) + " KiB";

    std::printf("soak: actions:");
    for (const auto& [name, count] : soak.counts)
        std::printf(" %d %s,", count, name.c_str());
    std::printf("\nsoak: RSS after warm-up %s, peak %s, at the end %s (%+ld KiB)\n",
                ProcessFigures::mib(baseline).c_str(), ProcessFigures::mib(peak).c_str(),
                ProcessFigures::mib(final).c_str(), growth);
    std::printf("soak: %s\n", failure.empty() ? "PASS" : ("FAIL: " + failure).c_str());
    session.kill(halvo);
    std::system(("rm -rf '" + config + "'").c_str());
    return failure.empty() ? 0 : 1;
}
