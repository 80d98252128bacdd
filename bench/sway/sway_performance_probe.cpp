// Probe: the real halvo program in a private headless sway (one 1280x800 output) with 5 and 50
// windows of one client (sway_window_crowd, each window its own app), driven by a virtual
// keyboard with exact key sequences. Measures, from the moment the probe sends a key:
// - first arrow with Control+Alt held (sway's binding) → the overlay's first frame committed, as
//   Halvo's own time stamp of that wl_surface_commit (HALVO_LATENCY_TRACE; CLOCK_MONOTONIC, the
//   clock the probe reads too), and → sway's `binding` event read by the probe;
// - that arrow → sway's IPC `window` focus event for the next app in the stored order, and a
//   second arrow with the combination still held (a binding again: sway's bindings come before
//   the surface with the keyboard) → the focus event of the app after; and, from Halvo's trace,
//   when it sent each focus command;
// - RSS, PSS and private memory (/proc/PID/smaps_rollup) idle and after many switches.
// Prints Markdown table rows; asserts nothing. Run through bench/run-performance --sway.
#include "platform/i3ipc/I3EventReader.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcError.h"
#include "support/ChildProcess.h"
#include "support/HalvoProgram.h"
#include "support/SwaySession.h"
#include "support/sway/SwayVirtualKeyboard.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using halvo::I3EventReader;
using halvo::I3IpcClient;
using halvo::I3IpcError;
using halvo::test::ChildProcess;
using halvo::test::HalvoProgram;
using halvo::test::SwaySession;
using halvo::test::SwayVirtualKeyboard;
using nlohmann::json;

namespace {

struct Options {
    std::string crowd = "build/sway_window_crowd";
    std::string halvo; // another build of halvo to measure, empty: the one built with the probe
    std::vector<int> windows{5, 50};
    int trials = 30;
    int switches = 500;
    double idleSeconds = 2;
    std::string pinHalvo; // a CPU list for taskset, empty: not pinned
    std::string pinSway;
    std::string log; // where Halvo's log of each run goes (PREFIX-WINDOWS.log), empty: nowhere
};

// CLOCK_MONOTONIC in nanoseconds: the clock of Halvo's trace lines.
long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double msBetween(long long from, long long to) {
    return static_cast<double>(to - from) / 1e6;
}

void pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Median, 10th and 90th percentile and maximum of a sample, as table cells.
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

// /proc/PID/smaps_rollup: resident, proportional and private memory, in KiB.
struct Memory {
    long rss = 0;
    long pss = 0;
    long privateKiB = 0;

    static Memory of(pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
        Memory memory;
        std::string key;
        long value = 0;
        std::string unit;
        while (in >> key) {
            if (key.back() != ':') {
                std::getline(in, unit);
                continue;
            }
            in >> value >> unit;
            if (key == "Rss:")
                memory.rss = value;
            else if (key == "Pss:")
                memory.pss = value;
            else if (key == "Private_Clean:" || key == "Private_Dirty:")
                memory.privateKiB += value;
        }
        return memory;
    }

    std::string text() const {
        char out[120];
        std::snprintf(out, sizeof out, "RSS %.1f MiB, PSS %.1f MiB, private %.1f MiB",
                      static_cast<double>(rss) / 1024, static_cast<double>(pss) / 1024,
                      static_cast<double>(privateKiB) / 1024);
        return out;
    }
};

// sway's `window` and `binding` events on a socket of the probe's own, each stamped when it was
// read (the probe blocks in poll, so a stamp is late by the wake-up only).
class EventStream {
public:
    struct Event {
        std::string type;
        json body;
        long long at = 0;
    };

    explicit EventStream(const std::string& socket) : m_client(socket) {
        m_client.subscribe({"window", "binding"});
    }

    // The first event (read now or earlier, not yet taken) that satisfies `pred`, waiting up to
    // `seconds`; events before it are dropped.
    std::optional<Event> waitFor(const std::function<bool(const Event&)>& pred, double seconds) {
        const long long deadline = monotonicNs() + static_cast<long long>(seconds * 1e9);
        for (;;) {
            while (!m_events.empty()) {
                Event event = std::move(m_events.front());
                m_events.erase(m_events.begin());
                if (pred(event))
                    return event;
            }
            const long long left = deadline - monotonicNs();
            if (left <= 0 || !readOnce(static_cast<int>(left / 1000000) + 1))
                return std::nullopt;
        }
    }

    // Reads what has arrived and forgets it.
    void drain() {
        while (readOnce(0)) {
        }
        m_events.clear();
    }

private:
    bool readOnce(int timeoutMs) {
        pollfd fd{m_client.fd(), POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0)
            return false;
        const long long at = monotonicNs();
        char chunk[65536];
        const ssize_t n = read(m_client.fd(), chunk, sizeof chunk);
        if (n <= 0)
            return false;
        m_reader.feed(std::string_view(chunk, static_cast<size_t>(n)));
        while (auto message = m_reader.next())
            m_events.push_back({message->type, json::parse(message->payload, nullptr, false), at});
        return true;
    }

    I3IpcClient m_client;
    I3EventReader m_reader;
    std::vector<Event> m_events;
};

bool isFocusOf(const EventStream::Event& event, const std::string& appID) {
    return event.type == "window" && event.body.value("change", "") == "focus" &&
           event.body.contains("container") &&
           event.body["container"].value("app_id", json()) == appID;
}

// The app ids of the windows in sway's tree, and the one focused.
void readWindows(const json& node, std::vector<std::string>& ids, std::string& focused) {
    if (!node.is_object())
        return;
    if (node.contains("app_id") && node["app_id"].is_string()) {
        ids.push_back(node["app_id"].get<std::string>());
        if (node.value("focused", false))
            focused = ids.back();
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const json& child : node.value(children, json::array()))
            readWindows(child, ids, focused);
    }
}

// Halvo's trace lines: "halvo-trace WHAT NANOSECONDS".
std::multimap<std::string, long long> traces(const std::string& log) {
    std::multimap<std::string, long long> marks;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string tag, what;
        long long at = 0;
        if (words >> tag >> what >> at && tag == "halvo-trace")
            marks.emplace(what, at);
    }
    return marks;
}

// The first mark `what` at or after `from` and before `until`.
std::optional<long long> firstMark(const std::multimap<std::string, long long>& marks,
                                   const std::string& what, long long from, long long until) {
    std::optional<long long> found;
    const auto [begin, end] = marks.equal_range(what);
    for (auto it = begin; it != end; ++it) {
        if (it->second >= from && it->second < until && (!found || it->second < *found))
            found = it->second;
    }
    return found;
}

void pin(const std::string& cpus, pid_t pid) {
    if (cpus.empty() || pid <= 0)
        return;
    const std::string command =
        "taskset -a -cp " + cpus + " " + std::to_string(pid) + " >/dev/null";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not pin %d to CPUs %s\n", pid, cpus.c_str());
}

class Run {
public:
    Run(const Options& options, int windows) : m_options(options), m_windows(windows) {}

    void measure() {
        SwaySession::Options sessionOptions;
        sessionOptions.twoOutputs = false;
        sessionOptions.outputWidth = 1280;
        sessionOptions.outputHeight = 800;
        sessionOptions.extraConfig = "default_border none\n";
        SwaySession session(sessionOptions);
        if (!session.ok()) {
            std::fprintf(stderr, "no sway session: %s\n", session.error().c_str());
            return;
        }
        pin(m_options.pinSway, session.swayProcess());
        char folder[] = "/tmp/halvo-sway-bench-XXXXXX";
        if (!mkdtemp(folder))
            return;
        const std::string configHome = folder;
        storeOrder(configHome);

        ChildProcess crowdProcess({m_options.crowd, std::to_string(m_windows)});
        crowdProcess.environment = ChildProcess::overridden(
            ChildProcess::currentEnvironment(), {"WAYLAND_DISPLAY=" + session.waylandDisplay()});
        const pid_t crowd = crowdProcess.start();
        pin(m_options.pinSway, crowd);
        std::vector<std::string> ids;
        if (!SwaySession::waitUntil(
                [&] {
                    ids.clear();
                    std::string focused;
                    readWindows(session.query("get_tree"), ids, focused);
                    return ids.size() >= static_cast<size_t>(m_windows);
                },
                30)) {
            std::fprintf(stderr, "sway_window_crowd did not map %d windows\n", m_windows);
            ChildProcess::end(crowd);
            return;
        }

        HalvoProgram halvo(configHome, {},
                           {{"WAYLAND_DISPLAY", session.waylandDisplay()},
                            {"SWAYSOCK", session.swaySocket()},
                            {"QT_QPA_PLATFORM", "wayland"},
                            {"GSETTINGS_BACKEND", "memory"},
                            {"HALVO_LATENCY_TRACE", "1"}},
                           m_options.halvo);
        const bool bound = SwaySession::waitUntil(
            [&] {
                std::ifstream in(configHome + "/halvo-sway-bindings");
                std::string line;
                return std::getline(in, line) && !line.empty();
            },
            20);
        if (!bound) {
            std::fprintf(stderr, "halvo did not bind its shortcut:\n%s\n", halvo.log().c_str());
            ChildProcess::end(crowd);
            return;
        }
        pin(m_options.pinHalvo, halvo.pid());
        pause(m_options.idleSeconds);
        row("RSS idle", "| " + Memory::of(halvo.pid()).text() + " | | | |");

        try {
            EventStream events(session.swaySocket());
            SwayVirtualKeyboard keys(session.waylandDisplay());
            if (!keys.ok()) {
                std::fprintf(stderr, "no virtual keyboard: %s\n", keys.error().c_str());
                return;
            }
            measureLatency(session, halvo, events, keys);
            const Memory before = Memory::of(halvo.pid());
            const int done1 = switches(session, events, keys, m_options.switches);
            const Memory after1 = Memory::of(halvo.pid());
            const int done2 = switches(session, events, keys, m_options.switches);
            const Memory after2 = Memory::of(halvo.pid());
            row("memory after the latency trials", "| " + before.text() + " | | | |");
            row("memory after " + std::to_string(done1) + " switches",
                "| " + after1.text() + " | | | |");
            char growth[80];
            std::snprintf(growth, sizeof growth, " (RSS %+ld KiB, private %+ld KiB)",
                          after2.rss - after1.rss, after2.privateKiB - after1.privateKiB);
            row("memory after " + std::to_string(done2) + " more switches",
                "| " + after2.text() + growth + " | | | |");
        } catch (const I3IpcError& error) {
            std::fprintf(stderr, "sway's IPC failed: %s\n", error.what());
        }
        if (!halvo.running())
            std::fprintf(stderr, "halvo exited during the run:\n%s\n", halvo.log().c_str());
        ChildProcess::end(crowd);
        if (!m_options.log.empty())
            std::ofstream(m_options.log + "-" + std::to_string(m_windows) + ".log") << halvo.log();
        std::filesystem::remove_all(configHome);
    }

private:
    void row(const std::string& what, const std::string& figures) {
        std::printf("| %d | %s %s\n", m_windows, what.c_str(), figures.c_str());
        std::fflush(stdout);
    }

    void storeOrder(const std::string& configHome) {
        json order = json::array();
        for (int i = 0; i < m_windows; ++i)
            order.push_back("crowd" + std::to_string(i));
        std::filesystem::create_directories(configHome + "/halvo");
        std::ofstream(configHome + "/halvo/defaults.json")
            << json{{"halvo.customAppOrder", order}}.dump();
    }

    // The app one Right step after `app` in the stored order.
    std::string after(const std::string& app) const {
        const int index = app.rfind("crowd", 0) == 0 ? std::atoi(app.c_str() + 5) : -1;
        return "crowd" + std::to_string((index + 1) % m_windows);
    }

    static std::string focusedApp(const SwaySession& session) {
        std::vector<std::string> ids;
        std::string focused;
        readWindows(session.query("get_tree"), ids, focused);
        return focused;
    }

    void releaseAll(SwayVirtualKeyboard& keys) {
        keys.release("Alt_L");
        keys.release("Control_L");
    }

    void measureLatency(const SwaySession& session, HalvoProgram& halvo, EventStream& events,
                        SwayVirtualKeyboard& keys) {
        std::vector<double> frame, binding, haloBinding, firstFocus, secondFocus, firstCommand,
            secondCommand;
        int wrongFocus = 0;
        std::string focused = focusedApp(session);
        for (int trial = 0; trial < m_options.trials; ++trial) {
            keys.press("Control_L");
            keys.press("Alt_L");
            events.drain();
            const std::string first = after(focused);
            const long long pressed = monotonicNs();
            keys.press("Right");
            if (const auto seen = events.waitFor(
                    [](const EventStream::Event& e) { return e.type == "binding"; }, 2))
                binding.push_back(msBetween(pressed, seen->at));
            // sway reports the window that had the focus again just before the new one.
            const auto focus1 =
                events.waitFor([&](const EventStream::Event& e) { return isFocusOf(e, first); }, 2);
            keys.release("Right");
            events.drain();
            if (focus1)
                firstFocus.push_back(msBetween(pressed, focus1->at));
            else
                ++wrongFocus;
            const std::string second = after(first);
            const long long stepped = monotonicNs();
            keys.press("Right");
            const auto focus2 = events.waitFor(
                [&](const EventStream::Event& e) { return isFocusOf(e, second); }, 2);
            keys.release("Right");
            if (focus2)
                secondFocus.push_back(msBetween(stepped, focus2->at));
            else
                ++wrongFocus;
            releaseAll(keys);
            // Let the overlay go and the activation's confirmation finish before the next trial.
            pause(0.3);
            focused = focusedApp(session);
            const auto marks = traces(halvo.log());
            if (const auto at = firstMark(marks, "halvo-overlay:first-frame", pressed, stepped))
                frame.push_back(msBetween(pressed, *at));
            if (const auto at = firstMark(marks, "binding:press", pressed, stepped))
                haloBinding.push_back(msBetween(pressed, *at));
            if (const auto at = firstMark(marks, "focus:command", pressed, stepped))
                firstCommand.push_back(msBetween(pressed, *at));
            // The first step's activation sends a second focus command a few milliseconds after
            // its first, which may come after this key: a command for this step comes no
            // earlier than the 35 ms delay after it.
            if (const auto at =
                    firstMark(marks, "focus:command", stepped + 30000000LL, monotonicNs()))
                secondCommand.push_back(msBetween(stepped, *at));
        }
        row("Right (Control+Alt held) → sway's binding event", summary(binding, m_options.trials));
        row("Right (Control+Alt held) → Halvo read the binding event",
            summary(haloBinding, m_options.trials));
        row("Right (Control+Alt held) → overlay's first frame committed",
            summary(frame, m_options.trials));
        row("first Right → Halvo sends the focus command", summary(firstCommand, m_options.trials));
        row("first Right → focus event of the next app", summary(firstFocus, m_options.trials));
        row("second Right, still held → Halvo sends the focus command",
            summary(secondCommand, m_options.trials));
        row("second Right, still held → focus event of the app after",
            summary(secondFocus, m_options.trials));
        if (wrongFocus)
            std::fprintf(stderr, "%d focus events missing or of an unexpected app\n", wrongFocus);
    }

    // `count` switches (Control+Alt, Right, release), each waiting for its focus event; the
    // number of switches whose focus event came.
    int switches(const SwaySession& session, EventStream& events, SwayVirtualKeyboard& keys,
                 int count) {
        int done = 0;
        std::string focused = focusedApp(session);
        for (int i = 0; i < count; ++i) {
            events.drain();
            keys.press("Control_L");
            keys.press("Alt_L");
            keys.tap("Right");
            const std::string next = after(focused);
            releaseAll(keys);
            if (events.waitFor([&](const EventStream::Event& e) { return isFocusOf(e, next); },
                               2)) {
                ++done;
                focused = next;
            } else {
                focused = focusedApp(session);
            }
        }
        pause(1);
        return done;
    }

    const Options& m_options;
    int m_windows;
};

std::vector<int> numbers(const std::string& list) {
    std::vector<int> values;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        values.push_back(std::atoi(item.c_str()));
    return values;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--crowd")
            options.crowd = value;
        else if (name == "--halvo")
            options.halvo = value;
        else if (name == "--windows")
            options.windows = numbers(value);
        else if (name == "--trials")
            options.trials = std::atoi(value.c_str());
        else if (name == "--switches")
            options.switches = std::atoi(value.c_str());
        else if (name == "--idle-seconds")
            options.idleSeconds = std::atof(value.c_str());
        else if (name == "--pin-halvo")
            options.pinHalvo = value;
        else if (name == "--pin-sway")
            options.pinSway = value;
        else if (name == "--log")
            options.log = value;
        else {
            std::fprintf(stderr,
                         "usage: sway_performance_probe [--windows 5,50] [--trials 30] "
                         "[--switches 500] [--idle-seconds 2] [--crowd PATH] [--halvo PATH] "
                         "[--pin-halvo CPUS] "
                         "[--pin-sway CPUS] [--log PREFIX]\n");
            return 2;
        }
    }
    std::printf(
        "| windows | measurement | median | p10–p90 | max | n |\n|---|---|---|---|---|---|\n");
    for (const int windows : options.windows)
        Run(options, windows).measure();
    return 0;
}
