// Soak on sway: the real halvo program in a private headless sway with two outputs, under a long
// random workload: switches of random Left/Right steps, long presses that move windows between
// the outputs, Up/Down, quick bursts, the modifiers released in random order, and foot terminals
// and crowd windows started and killed meanwhile. Samples Halvo's resident memory every 30 s and
// prints it, then the actions done, the growth after the warm-up and whether Halvo still switches
// at the end. Exit status 1 when halvo exits or no longer switches. Run through bench/soak --sway.
#include "platform/i3ipc/I3EventReader.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "support/HalvoProgram.h"
#include "support/ProcessFigures.h"
#include "support/SwaySession.h"
#include "support/sway/SwayVirtualKeyboard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using halvo::I3EventReader;
using halvo::I3IpcClient;
using halvo::I3IpcError;
using halvo::test::HalvoProgram;
using halvo::test::ProcessFigures;
using halvo::test::SwaySession;
using halvo::test::SwayVirtualKeyboard;
using Clock = std::chrono::steady_clock;

namespace {

void pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// sway's window focus events on a socket of the probe's own.
class FocusEvents {
public:
    explicit FocusEvents(const std::string& socket) : m_client(socket) {
        m_client.subscribe({"window"});
    }

    // Forgets what has arrived, so that the next wait sees only what comes after.
    void drain() {
        while (readOnce(0)) {
        }
        m_focused = false;
    }

    // Whether a window took the focus since the last drain, waiting up to `seconds`.
    bool waitForFocus(double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!m_focused) {
            const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
            if (left <= 0 || !readOnce(static_cast<int>(left * 1000) + 1))
                break;
        }
        return m_focused;
    }

private:
    bool readOnce(int timeoutMs) {
        pollfd fd{m_client.fd(), POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0)
            return false;
        char chunk[65536];
        const ssize_t n = read(m_client.fd(), chunk, sizeof chunk);
        if (n <= 0)
            return false;
        m_reader.feed(std::string_view(chunk, static_cast<size_t>(n)));
        while (auto event = m_reader.next()) {
            const auto body = nlohmann::json::parse(event->payload, nullptr, false);
            m_focused |= body.is_object() && body.value("change", "") == "focus";
        }
        return true;
    }

    I3IpcClient m_client;
    I3EventReader m_reader;
    bool m_focused = false;
};

class Soak {
public:
    Soak(SwaySession& session, SwayVirtualKeyboard& keys, FocusEvents& focus,
         const std::string& crowd, unsigned seed)
        : m_session(session), m_keys(keys), m_focus(focus), m_crowd(crowd), m_random(seed) {}

    std::map<std::string, int> counts;

    void step() {
        const int pick = uniform(0, 99);
        if (pick < 65)
            switchAround();
        else if (pick < 75)
            burst();
        else
            churn();
    }

    // Control+Alt+Right, released: whether a window took the focus.
    bool switchOnce() {
        m_focus.drain();
        holdModifiers();
        m_keys.tap("Right");
        const bool focused = m_focus.waitForFocus(2);
        releaseModifiers();
        return focused;
    }

    void stopChurn() {
        for (pid_t pid : m_churn)
            m_session.kill(pid);
        m_churn.clear();
    }

private:
    int uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }
    const char* arrow() { return uniform(0, 1) ? "Right" : "Left"; }

    void holdModifiers() {
        const bool controlFirst = uniform(0, 1);
        m_keys.press(controlFirst ? "Control_L" : "Alt_L");
        m_keys.press(controlFirst ? "Alt_L" : "Control_L");
    }

    // In random order: the combination ends with whichever goes first.
    void releaseModifiers() {
        const bool controlFirst = uniform(0, 1);
        m_keys.release(controlFirst ? "Control_L" : "Alt_L");
        m_keys.release(controlFirst ? "Alt_L" : "Control_L");
    }

    void hold(const char* key, double seconds) {
        m_keys.press(key);
        pause(seconds);
        m_keys.release(key);
    }

    // The first step must bring another window; the others are steps, long presses and Up/Down.
    void switchAround() {
        ++counts["switches"];
        m_focus.drain();
        holdModifiers();
        m_keys.tap(arrow());
        if (!m_focus.waitForFocus(2))
            ++counts["switches whose first step focused nothing"];
        const int more = uniform(0, 5);
        for (int i = 0; i < more; ++i) {
            const int kind = uniform(0, 99);
            if (kind < 10) {
                ++counts["long presses"];
                hold(arrow(), 0.65 + uniform(0, 20) / 100.0);
            } else if (kind < 15) {
                ++counts["full-screen toggles"];
                m_keys.tap(uniform(0, 1) ? "Up" : "Down");
                pause(0.1);
            } else {
                ++counts["steps"];
                hold(arrow(), uniform(0, 30) / 1000.0);
            }
            pause(uniform(0, 80) / 1000.0);
        }
        releaseModifiers();
        pause(0.1 + uniform(0, 250) / 1000.0);
    }

    void burst() {
        ++counts["bursts"];
        holdModifiers();
        const int taps = uniform(10, 40);
        for (int i = 0; i < taps; ++i) {
            m_keys.tap(uniform(0, 3) ? "Right" : "Left");
            pause(0.005);
        }
        releaseModifiers();
        pause(0.3);
    }

    // At most eight apps of its own alive: a foot terminal or a crowd of one to three windows,
    // each with app ids of their own (among 20, so that some come back).
    void churn() {
        if (!m_churn.empty() && (m_churn.size() >= 8 || uniform(0, 1))) {
            ++counts["apps killed"];
            const auto index =
                static_cast<size_t>(uniform(0, static_cast<int>(m_churn.size()) - 1));
            m_session.kill(m_churn[index]);
            m_churn.erase(m_churn.begin() + static_cast<long>(index));
            return;
        }
        ++counts["apps started"];
        if (uniform(0, 1)) {
            const std::string id = "soak.foot" + std::to_string(uniform(0, 19));
            m_churn.push_back(m_session.spawn({"foot", "--app-id=" + id, "--title=" + id}));
        } else {
            m_churn.push_back(m_session.spawn({m_crowd, std::to_string(uniform(1, 3))}));
        }
        pause(0.2);
    }

    SwaySession& m_session;
    SwayVirtualKeyboard& m_keys;
    FocusEvents& m_focus;
    std::string m_crowd;
    std::mt19937 m_random;
    std::vector<pid_t> m_churn;
};

struct Options {
    std::string halvo; // empty: the build's own
    std::string crowd = "build/sway_window_crowd";
    double minutes = 10;
    unsigned seed = static_cast<unsigned>(std::random_device{}());
    std::string log = "/tmp/halvo-sway-soak.log";
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const std::string value = argv[i + 1];
        if (arg == "--halvo")
            options.halvo = value;
        else if (arg == "--crowd")
            options.crowd = value;
        else if (arg == "--minutes")
            options.minutes = std::atof(value.c_str());
        else if (arg == "--seed")
            options.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (arg == "--log")
            options.log = value;
        else
            return false;
    }
    return argc % 2 == 1;
}

// Halvo's binding record holds the sway socket and a line for each of the four arrows once its
// shortcut is bound.
bool shortcutBound(const std::string& configHome) {
    return SwaySession::waitUntil(
        [&] {
            std::ifstream in(configHome + "/halvo-sway-bindings");
            int lines = 0;
            for (std::string line; std::getline(in, line);)
                lines += line.empty() ? 0 : 1;
            return lines == 5;
        },
        20);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: sway_soak_probe [--halvo PATH] [--crowd PATH] [--minutes M] "
                             "[--seed N] [--log FILE]\n");
        return 2;
    }
    // Clients start in the session's home folder.
    options.crowd = std::filesystem::absolute(options.crowd);
    if (!options.halvo.empty())
        options.halvo = std::filesystem::absolute(options.halvo);
    SwaySession::Options sessionOptions;
    sessionOptions.outputWidth = 1280;
    sessionOptions.outputHeight = 800;
    sessionOptions.extraConfig = "default_border none\n";
    SwaySession session(sessionOptions);
    if (!session.ok()) {
        std::fprintf(stderr, "no sway session: %s\n", session.error().c_str());
        return 1;
    }
    char folder[] = "/tmp/halvo-sway-soak-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string configHome = folder;
    // Ten windows on HEADLESS-2 and a terminal on HEADLESS-1: long presses have windows to move
    // both ways.
    session.command("focus output HEADLESS-2");
    session.spawn({options.crowd, "10"});
    session.waitForWindow("crowd9");
    session.command("focus output HEADLESS-1");
    session.spawn({"foot", "--app-id=soak.terminal"});
    session.waitForWindow("soak.terminal");

    int status = 1;
    try {
        HalvoProgram halvo(configHome, {},
                           {{"WAYLAND_DISPLAY", session.waylandDisplay()},
                            {"SWAYSOCK", session.swaySocket()},
                            {"QT_QPA_PLATFORM", "wayland"},
                            {"GSETTINGS_BACKEND", "memory"}},
                           options.halvo);
        if (!shortcutBound(configHome))
            throw I3IpcError("halvo did not bind its shortcut:\n" + halvo.log());
        SwayVirtualKeyboard keys(session.waylandDisplay());
        FocusEvents focus(session.swaySocket());
        Soak soak(session, keys, focus, options.crowd, options.seed);
        std::printf("soak: %.1f minutes on sway, seed %u, halvo's log %s\n", options.minutes,
                    options.seed, options.log.c_str());

        const auto start = Clock::now();
        const double total = options.minutes * 60;
        const double warmUp = std::min(60.0, total / 10);
        long baseline = 0;
        long peak = 0;
        double nextSample = 0;
        while (secondsSince(start) < total && halvo.running()) {
            soak.step();
            const double now = secondsSince(start);
            if (now >= nextSample) {
                const long rss = ProcessFigures::of(halvo.pid()).rssKiB;
                if (baseline == 0 && now >= warmUp)
                    baseline = rss;
                peak = std::max(peak, rss);
                std::printf("soak: %5.0f s  RSS %s\n", now, ProcessFigures::mib(rss).c_str());
                std::fflush(stdout);
                nextSample = now + 30;
            }
        }
        soak.stopChurn();
        pause(1);
        const bool switches = halvo.running() && soak.switchOnce();
        pause(1);
        const long final = ProcessFigures::of(halvo.pid()).rssKiB;
        if (baseline == 0)
            baseline = final;

        std::printf("soak: actions:");
        for (const auto& [name, count] : soak.counts)
            std::printf(" %d %s,", count, name.c_str());
        std::printf("\nsoak: RSS after warm-up %s, peak %s, at the end %s (%+ld KiB)\n",
                    ProcessFigures::mib(baseline).c_str(), ProcessFigures::mib(peak).c_str(),
                    ProcessFigures::mib(final).c_str(), final - baseline);
        std::printf("soak: halvo %s at the end\n", !halvo.running() ? "had exited"
                                                   : switches       ? "still switches"
                                                              : "runs but no longer switches");
        std::ofstream(options.log) << halvo.log();
        status = switches ? 0 : 1;
    } catch (const I3IpcError& error) {
        std::fprintf(stderr, "soak: %s\n", error.what());
    }
    std::filesystem::remove_all(configHome);
    return status;
}
