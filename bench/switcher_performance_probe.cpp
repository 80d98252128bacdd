// Probe: the real halvo program beside alttab on a private Xvfb + openbox desktop with 5, 50 and
// 200 client windows (window_crowd). Measures, from a separate X connection watching the root:
// modifiers down -> overlay mapped (alttab: Alt+Tab -> switcher mapped), Right ->
// _NET_ACTIVE_WINDOW changed, start-up (exec -> overlay window created, exec -> tray icon
// embedded), RSS idle and after 1000 and 2000 switches, CPU time and context switches over an idle
// minute. Prints figures as Markdown table rows; asserts nothing. Run through
// bench/run-performance.
#include "support/ProcessFigures.h"
#include "support/RootWatcher.h"
#include "support/XTestKeyboard.h"
#include "support/XvfbSession.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

using halvo::test::ProcessFigures;
using halvo::test::RootWatcher;
using halvo::test::XTestKeyboard;
using halvo::test::XvfbSession;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    // More than one: their latencies are measured in turns on the same desktop (A/B runs).
    std::vector<std::string> halvos{"build/halvo"};
    int rounds = 1;    // turns per binary when comparing
    int halvoCpu = -1; // the CPU Halvo is pinned to (taskset), none when negative
    std::string crowd;
    std::vector<int> windows{5, 50, 200};
    int trials = 30;
    int starts = 5;
    int switches = 1000;
    double idleSeconds = 60;
    bool alttab = true;
    std::string logDir = "/tmp";
};

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Median, 10th and 90th percentile and maximum of a sample, as text.
std::string summary(std::vector<double> values, int wanted) {
    if (values.empty())
        return "| - | - | - | 0/" + std::to_string(wanted) + " |";
    std::sort(values.begin(), values.end());
    auto at = [&](double q) {
        return values[std::min(values.size() - 1,
                               static_cast<size_t>(std::lround(q * (values.size() - 1))))];
    };
    char text[160];
    std::snprintf(text, sizeof text, "| %.2f ms | %.2f–%.2f ms | %.2f ms | %zu/%d |", at(0.5),
                  at(0.1), at(0.9), values.back(), values.size(), wanted);
    return text;
}

struct Halvo {
    pid_t pid = -1;
    xcb_window_t overlay = 0;
    double overlayReadyMs = NAN;
    double trayReadyMs = NAN;
};

// Starts halvo, its standard error to `log`, and waits until its overlay window exists and its
// tray icon is embedded.
Halvo startHalvo(XvfbSession& session, RootWatcher& watcher, const Options& options,
                 const std::string& binary, const std::string& log) {
    Halvo halvo;
    watcher.drain();
    const auto start = Clock::now();
    const std::string pin =
        options.halvoCpu >= 0 ? "taskset -c " + std::to_string(options.halvoCpu) + " " : "";
    halvo.pid = session.spawn({"/bin/sh", "-c", "exec " + pin + "\"$0\" 2>>\"$1\"", binary, log});
    std::map<xcb_window_t, Clock::time_point> created;
    std::optional<Clock::time_point> embedded;
    const auto deadline = start + std::chrono::seconds(15);
    while (Clock::now() < deadline && (!halvo.overlay || !embedded)) {
        const auto event = watcher.waitFor(
            [](const RootWatcher::Event& e) {
                return (e.type == XCB_CREATE_NOTIFY && e.overrideRedirect) ||
                       e.type == XCB_REPARENT_NOTIFY;
            },
            0.05);
        if (event && event->type == XCB_CREATE_NOTIFY)
            created[event->window] = event->at;
        if (event && event->type == XCB_REPARENT_NOTIFY && !embedded &&
            watcher.wmClass(event->window) == "halvo")
            embedded = event->at;
        if (!halvo.overlay) {
            for (const auto& [window, at] : created) {
                if (watcher.name(window) == "Halvo overlay") {
                    halvo.overlay = window;
                    halvo.overlayReadyMs = msBetween(start, at);
                }
            }
        }
    }
    if (embedded)
        halvo.trayReadyMs = msBetween(start, *embedded);
    return halvo;
}

class Run {
public:
    Run(const Options& options, int windows) : m_options(options), m_windows(windows) {}

    void measure() {
        // openbox's own Alt+Tab binding would keep alttab from grabbing it.
        XvfbSession::Options sessionOptions;
        sessionOptions.droppedBindings = {"A-Tab", "A-S-Tab"};
        XvfbSession session(sessionOptions);
        if (!session.ok()) {
            std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
            return;
        }
        RootWatcher watcher(session.display());
        XTestKeyboard keys(session.display());
        char configTemplate[] = "/tmp/halvo-bench-config-XXXXXX";
        const std::string config = mkdtemp(configTemplate) ? configTemplate : "/tmp";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        m_log = m_options.logDir + "/halvo-bench-" + std::to_string(m_windows) + ".log";
        std::ofstream(m_log, std::ios::trunc).flush();

        session.spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                       "--height", "28", "--SetDockType", "true", "--SetPartialStrut", "true",
                       "--monitor", "0"});
        session.spawn({m_options.crowd, std::to_string(m_windows)});
        if (!XvfbSession::waitUntil(
                [&] { return watcher.clientCount() >= static_cast<size_t>(m_windows); }, 30)) {
            std::fprintf(stderr, "window_crowd did not map %d windows\n", m_windows);
            return;
        }
        XvfbSession::waitUntil(
            [&] {
                return !session
                            .run("xwininfo -root -tree | grep -i "
                                 "trayer")
                            .empty();
            },
            5);
        pause(0.5);

        // Start-up, `starts` times; the last instance stays for the rest.
        std::vector<double> overlayReady;
        std::vector<double> trayReady;
        Halvo halvo;
        for (int i = 0; i < m_options.starts; ++i) {
            if (halvo.pid > 0) {
                session.kill(halvo.pid);
                pause(0.3);
            }
            halvo = startHalvo(session, watcher, m_options, m_options.halvos.front(), m_log);
            if (!std::isnan(halvo.overlayReadyMs))
                overlayReady.push_back(halvo.overlayReadyMs);
            if (!std::isnan(halvo.trayReadyMs))
                trayReady.push_back(halvo.trayReadyMs);
        }
        if (!halvo.overlay) {
            std::fprintf(stderr, "halvo's overlay window did not appear; see %s\n", m_log.c_str());
            return;
        }
        row("Halvo", "start-up: exec → overlay window created",
            summary(overlayReady, m_options.starts));
        row("Halvo", "start-up: exec → tray icon embedded", summary(trayReady, m_options.starts));

        pid_t alttab = -1;
        if (m_options.alttab) {
            alttab = session.spawn({"/bin/sh", "-c", "exec alttab 2>>\"$0\"", m_log});
            // alttab maps no window until it is asked for one: give it a moment to grab its keys.
            pause(1.0);
            if (!ProcessFigures::alive(alttab)) {
                std::fprintf(stderr, "alttab exited; see %s\n", m_log.c_str());
                alttab = -1;
            }
        }
        pause(1.5);
        const ProcessFigures halvoIdle = ProcessFigures::of(halvo.pid);
        row("Halvo", "RSS idle",
            "| " + ProcessFigures::mib(halvoIdle.rssKiB) + " | " + memoryShares(halvo.pid) +
                " | | " + std::to_string(halvoIdle.threads) + " threads |");
        if (alttab > 0) {
            const ProcessFigures alttabIdle = ProcessFigures::of(alttab);
            row("alttab", "RSS idle", "| " + ProcessFigures::mib(alttabIdle.rssKiB) + " | | | |");
        }

        measureWindowManager(watcher);
        if (m_options.halvos.size() > 1 || m_options.rounds > 1) {
            session.kill(halvo.pid);
            compareHalvos(session, watcher, keys);
            halvo = startHalvo(session, watcher, m_options, m_options.halvos.front(), m_log);
        } else {
            Samples samples;
            measureHalvoLatency(watcher, keys, halvo, m_options.trials, samples);
            report("Halvo", samples, m_options.trials);
        }
        if (alttab > 0)
            measureAlttabLatency(watcher, keys);

        const long rssBefore = ProcessFigures::of(halvo.pid).rssKiB;
        const int done1 = switches(watcher, keys, halvo, m_options.switches);
        const long rss1 = ProcessFigures::of(halvo.pid).rssKiB;
        const int done2 = switches(watcher, keys, halvo, m_options.switches);
        const long rss2 = ProcessFigures::of(halvo.pid).rssKiB;
        char growth[200];
        std::snprintf(growth, sizeof growth,
                      "| %s | after %d: %s | after %d more: %s (%+ld KiB) | %d+%d switches |",
                      ProcessFigures::mib(rssBefore).c_str(), done1,
                      ProcessFigures::mib(rss1).c_str(), done2, ProcessFigures::mib(rss2).c_str(),
                      rss2 - rss1, done1, done2);
        row("Halvo", "RSS before / after switches", growth);
        row("Halvo", "memory after the switches",
            "| " + ProcessFigures::mib(rss2) + " | " + memoryShares(halvo.pid) + " | | |");

        idle(halvo.pid, alttab);

        if (!ProcessFigures::alive(halvo.pid))
            std::fprintf(stderr, "halvo exited during the run; see %s\n", m_log.c_str());
        session.kill(halvo.pid);
        std::system(("rm -rf '" + config + "'").c_str());
    }

private:
    void row(const char* program, const std::string& what, const std::string& figures) {
        std::printf("| %d | %s | %s %s\n", m_windows, program, what.c_str(), figures.c_str());
        std::fflush(stdout);
    }

    void releaseAll(XTestKeyboard& keys) {
        keys.queue("Right", false);
        keys.queue("Tab", false);
        keys.queue("Alt_L", false);
        keys.queue("Control_L", false);
        keys.flush();
        keys.sync();
    }

    struct Samples {
        std::vector<double> show;
        std::vector<double> activate;
    };

    // Each binary in turn, `rounds` times, each turn a fresh instance with its share of trials.
    void compareHalvos(XvfbSession& session, RootWatcher& watcher, XTestKeyboard& keys) {
        std::vector<Samples> samples(m_options.halvos.size());
        const int perTurn = std::max(1, m_options.trials / m_options.rounds);
        for (int round = 0; round < m_options.rounds; ++round) {
            for (std::size_t i = 0; i < m_options.halvos.size(); ++i) {
                const Halvo halvo =
                    startHalvo(session, watcher, m_options, m_options.halvos[i], m_log);
                pause(1.0);
                if (halvo.overlay)
                    measureHalvoLatency(watcher, keys, halvo, perTurn, samples[i]);
                session.kill(halvo.pid);
                pause(0.3);
            }
        }
        for (std::size_t i = 0; i < m_options.halvos.size(); ++i) {
            const std::string& path = m_options.halvos[i];
            report("Halvo " + path.substr(path.rfind('/') + 1), samples[i],
                   perTurn * m_options.rounds);
        }
    }

    void report(const std::string& program, const Samples& samples, int wanted) {
        row(program.c_str(), "Control+Alt down → overlay mapped", summary(samples.show, wanted));
        row(program.c_str(), "Right → _NET_ACTIVE_WINDOW changed",
            summary(samples.activate, wanted));
    }

    // Proportional and private shares of the resident memory (/proc/PID/smaps_rollup).
    static std::string memoryShares(pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
        long pss = 0;
        long privateKiB = 0;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string key;
            long value = 0;
            if (!(fields >> key >> value))
                continue;
            if (key == "Pss:")
                pss = value;
            else if (key == "Private_Clean:" || key == "Private_Dirty:")
                privateKiB += value;
        }
        return "PSS " + ProcessFigures::mib(pss) + ", private " + ProcessFigures::mib(privateKiB);
    }

    void measureHalvoLatency(RootWatcher& watcher, XTestKeyboard& keys, const Halvo& halvo,
                             int trials, Samples& samples) {
        std::vector<double>& show = samples.show;
        std::vector<double>& activate = samples.activate;
        const xcb_window_t overlay = halvo.overlay;
        for (int trial = 0; trial < trials; ++trial) {
            watcher.drain();
            keys.queue("Control_L", true);
            keys.queue("Alt_L", true);
            const auto pressed = Clock::now();
            keys.flush();
            const auto mapped = watcher.waitFor(
                [&](const RootWatcher::Event& e) {
                    return e.type == XCB_MAP_NOTIFY && e.window == overlay;
                },
                2);
            if (mapped)
                show.push_back(msBetween(pressed, mapped->at));
            watcher.drain();
            keys.queue("Right", true);
            const auto right = Clock::now();
            keys.flush();
            const auto changed = watcher.waitFor(
                [&](const RootWatcher::Event& e) {
                    return e.type == XCB_PROPERTY_NOTIFY && e.atom == watcher.activeWindowAtom;
                },
                2);
            if (changed)
                activate.push_back(msBetween(right, changed->at));
            releaseAll(keys);
            watcher.waitFor(
                [&](const RootWatcher::Event& e) {
                    return e.type == XCB_UNMAP_NOTIFY && e.window == overlay;
                },
                2);
            // Let the activation's confirmation (0.15 s after it) finish before the next trial.
            pause(0.25);
        }
    }

    // What the window manager alone takes: a _NET_ACTIVE_WINDOW request sent straight to it,
    // to the property changed. Right -> changed cannot be faster than 35 ms plus this.
    void measureWindowManager(RootWatcher& watcher) {
        xcb_connection_t* c = watcher.connection();
        auto* reply =
            xcb_get_property_reply(c,
                                   xcb_get_property(c, 0, watcher.root(), watcher.clientListAtom,
                                                    XCB_ATOM_WINDOW, 0, 65536),
                                   nullptr);
        std::vector<xcb_window_t> clients;
        if (reply) {
            const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
            clients.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        // Two of the crowd's windows, taking turns (not the tray, which takes no focus).
        std::erase_if(clients,
                      [&](xcb_window_t w) { return watcher.wmClass(w).rfind("crowd", 0); });
        if (clients.size() < 2)
            return;
        std::vector<double> changed;
        for (int trial = 0; trial < m_options.trials; ++trial) {
            watcher.drain();
            // openbox ignores requests without a timestamp, as Halvo's carry one.
            const xcb_timestamp_t time = watcher.serverTime();
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = clients[static_cast<size_t>(trial) % 2];
            event.type = watcher.activeWindowAtom;
            event.data.data32[0] = 2; // source: pager
            event.data.data32[1] = time;
            xcb_send_event(c, 0, watcher.root(),
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&event));
            const auto sent = Clock::now();
            xcb_flush(c);
            const auto seen = watcher.waitFor(
                [&](const RootWatcher::Event& e) {
                    return e.type == XCB_PROPERTY_NOTIFY && e.atom == watcher.activeWindowAtom;
                },
                2);
            if (seen)
                changed.push_back(msBetween(sent, seen->at));
            pause(0.05);
        }
        row("openbox", "_NET_ACTIVE_WINDOW request → changed", summary(changed, m_options.trials));
    }

    void measureAlttabLatency(RootWatcher& watcher, XTestKeyboard& keys) {
        std::vector<double> show;
        for (int trial = 0; trial < m_options.trials; ++trial) {
            keys.queue("Alt_L", true);
            keys.flush();
            keys.sync();
            watcher.drain();
            keys.queue("Tab", true);
            const auto pressed = Clock::now();
            keys.flush();
            const auto mapped = watcher.waitFor(
                [](const RootWatcher::Event& e) { return e.type == XCB_MAP_NOTIFY; }, 2);
            if (mapped)
                show.push_back(msBetween(pressed, mapped->at));
            if (mapped && trial == 0 && watcher.wmClass(mapped->window) != "alttab")
                std::fprintf(stderr, "the window mapped on Alt+Tab is not alttab's (\"%s\")\n",
                             watcher.wmClass(mapped->window).c_str());
            releaseAll(keys);
            if (mapped) {
                const xcb_window_t window = mapped->window;
                watcher.waitFor(
                    [&](const RootWatcher::Event& e) {
                        return e.type == XCB_UNMAP_NOTIFY && e.window == window;
                    },
                    2);
            }
            pause(0.25);
        }
        row("alttab", "Alt+Tab → switcher mapped", summary(show, m_options.trials));
    }

    // Full switches: the combination down, overlay mapped, Right, everything up, overlay gone.
    int switches(RootWatcher& watcher, XTestKeyboard& keys, const Halvo& halvo, int count) {
        int done = 0;
        for (int i = 0; i < count; ++i) {
            watcher.drain();
            keys.queue("Control_L", true);
            keys.queue("Alt_L", true);
            keys.flush();
            const bool mapped =
                watcher
                    .waitFor(
                        [&](const RootWatcher::Event& e) {
                            return e.type == XCB_MAP_NOTIFY && e.window == halvo.overlay;
                        },
                        2)
                    .has_value();
            keys.queue("Right", true);
            keys.queue("Right", false);
            releaseAll(keys);
            watcher.waitFor(
                [&](const RootWatcher::Event& e) {
                    return e.type == XCB_UNMAP_NOTIFY && e.window == halvo.overlay;
                },
                2);
            if (mapped)
                ++done;
        }
        pause(0.5);
        return done;
    }

    void idle(pid_t halvo, pid_t alttab) {
        pause(2);
        const ProcessFigures halvoBefore = ProcessFigures::of(halvo);
        const ProcessFigures alttabBefore =
            alttab > 0 ? ProcessFigures::of(alttab) : ProcessFigures{};
        pause(m_options.idleSeconds);
        const ProcessFigures halvoAfter = ProcessFigures::of(halvo);
        char text[200];
        std::snprintf(text, sizeof text,
                      "| %.3f s CPU | %ld wake-ups (main thread %ld) | %ld involuntary | %.0f s |",
                      halvoAfter.cpuSeconds - halvoBefore.cpuSeconds,
                      halvoAfter.wakeupsSince(halvoBefore),
                      halvoAfter.mainThreadWakeups - halvoBefore.mainThreadWakeups,
                      halvoAfter.preemptionsSince(halvoBefore), m_options.idleSeconds);
        row("Halvo", "idle (after the switches)", text);
        if (alttab > 0) {
            const ProcessFigures alttabAfter = ProcessFigures::of(alttab);
            std::snprintf(text, sizeof text,
                          "| %.3f s CPU | %ld wake-ups (main thread %ld) | %ld involuntary | %.0f "
                          "s |",
                          alttabAfter.cpuSeconds - alttabBefore.cpuSeconds,
                          alttabAfter.wakeupsSince(alttabBefore),
                          alttabAfter.mainThreadWakeups - alttabBefore.mainThreadWakeups,
                          alttabAfter.preemptionsSince(alttabBefore), m_options.idleSeconds);
            row("alttab", "idle (after the switches)", text);
            const ProcessFigures alttabNow = ProcessFigures::of(alttab);
            row("alttab", "RSS after its trials",
                "| " + ProcessFigures::mib(alttabNow.rssKiB) + " | | | |");
        }
    }

    const Options& m_options;
    int m_windows;
    std::string m_log;
};

std::vector<int> parseList(const std::string& text) {
    std::vector<int> result;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        result.push_back(std::atoi(item.c_str()));
    return result;
}

std::vector<std::string> parseStrings(const std::string& text) {
    std::vector<std::string> result;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        result.push_back(item);
    return result;
}

std::string siblingOf(const char* self, const std::string& name) {
    std::string path = self;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    options.crowd = siblingOf(argv[0], "window_crowd");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--halvo")
            options.halvos = parseStrings(value());
        else if (arg == "--rounds")
            options.rounds = std::max(1, std::atoi(value().c_str()));
        else if (arg == "--halvo-cpu")
            options.halvoCpu = std::atoi(value().c_str());
        else if (arg == "--windows")
            options.windows = parseList(value());
        else if (arg == "--trials")
            options.trials = std::atoi(value().c_str());
        else if (arg == "--starts")
            options.starts = std::max(1, std::atoi(value().c_str()));
        else if (arg == "--switches")
            options.switches = std::atoi(value().c_str());
        else if (arg == "--idle-seconds")
            options.idleSeconds = std::atof(value().c_str());
        else if (arg == "--no-alttab")
            options.alttab = false;
        else if (arg == "--log-dir")
            options.logDir = value();
        else {
            std::fprintf(stderr,
                         "usage: switcher_performance_probe [--halvo PATH[,PATH...]] [--rounds N] "
                         "[--halvo-cpu CPU] [--windows 5,50,200] [--trials N] [--starts N] "
                         "[--switches N] [--idle-seconds S] [--no-alttab] [--log-dir DIR]\n");
            return 2;
        }
    }
    std::printf("| windows | program | measurement | median | p10–p90 | max | n |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int windows : options.windows)
        Run(options, windows).measure();
    return 0;
}
