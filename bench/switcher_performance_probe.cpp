// Probe: the real halvo program beside alttab on a private Xvfb + openbox desktop with 5, 50 and
// 200 client windows (window_crowd). Measures, from a separate X connection watching the root:
// modifiers down -> overlay mapped (alttab: Alt+Tab -> switcher mapped), Right ->
// _NET_ACTIVE_WINDOW changed, start-up (exec -> overlay window created, exec -> tray icon
// embedded), RSS idle and after 1000 and 2000 switches, CPU time and context switches over an idle
// minute. Prints figures as Markdown table rows; asserts nothing. Run through
// bench/run-performance.
#include "support/XvfbSession.h"

#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

using halvo::test::XvfbSession;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    std::string halvo = "build/halvo";
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

// A connection of its own that watches the root: children created, mapped, unmapped,
// reparented, and root property changes. Each event is stamped when it is read.
class RootWatcher {
public:
    struct Event {
        Clock::time_point at;
        uint8_t type = 0;
        xcb_window_t window = 0;
        xcb_window_t parent = 0;
        xcb_atom_t atom = 0;
        bool overrideRedirect = false;
    };

    explicit RootWatcher(const std::string& display)
        : m_connection(xcb_connect(display.c_str(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        activeWindowAtom = intern("_NET_ACTIVE_WINDOW");
        clientListAtom = intern("_NET_CLIENT_LIST");
    }
    ~RootWatcher() { xcb_disconnect(m_connection); }
    RootWatcher(const RootWatcher&) = delete;
    RootWatcher& operator=(const RootWatcher&) = delete;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    xcb_atom_t intern(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            m_connection,
            xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }

    // Reads and drops everything that has arrived.
    void drain() {
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // The first event that `match` accepts within `seconds`; others are dropped.
    std::optional<Event> waitFor(const std::function<bool(const Event&)>& match, double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (true) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
                const Event event = translate(raw);
                std::free(raw);
                if (match(event))
                    return event;
            }
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return std::nullopt;
            pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
            ::poll(&fd, 1, static_cast<int>(std::max<long long>(1, ms)));
            if (xcb_connection_has_error(m_connection))
                return std::nullopt;
        }
    }

    std::string wmClass(xcb_window_t window) {
        auto* reply = xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
            nullptr);
        std::string result;
        if (reply && xcb_get_property_value_length(reply) > 0)
            result = static_cast<const char*>(xcb_get_property_value(reply));
        std::free(reply);
        return result;
    }

    std::string name(xcb_window_t window) {
        auto* reply =
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                                   nullptr);
        std::string result;
        if (reply)
            result.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                          static_cast<size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
        return result;
    }

    // The root's direct child named `title`, 0 when there is none.
    xcb_window_t childNamed(const std::string& title) {
        auto* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
        xcb_window_t found = 0;
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
                if (name(children[i]) == title)
                    found = children[i];
            }
        }
        std::free(tree);
        return found;
    }

    size_t clientCount() {
        auto* reply = xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, m_root, clientListAtom, XCB_ATOM_WINDOW, 0, 65536),
            nullptr);
        const size_t count =
            reply ? static_cast<size_t>(xcb_get_property_value_length(reply)) / 4 : 0;
        std::free(reply);
        return count;
    }

    xcb_atom_t activeWindowAtom = 0;
    xcb_atom_t clientListAtom = 0;

private:
    static Event translate(const xcb_generic_event_t* raw) {
        Event event;
        event.at = Clock::now();
        event.type = raw->response_type & 0x7f;
        switch (event.type) {
        case XCB_CREATE_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(raw);
            event.window = e->window;
            event.parent = e->parent;
            event.overrideRedirect = e->override_redirect;
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(raw);
            event.window = e->window;
            event.overrideRedirect = e->override_redirect;
            break;
        }
        case XCB_UNMAP_NOTIFY:
            event.window = reinterpret_cast<const xcb_unmap_notify_event_t*>(raw)->window;
            break;
        case XCB_REPARENT_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(raw);
            event.window = e->window;
            event.parent = e->parent;
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(raw);
            event.window = e->window;
            event.atom = e->atom;
            break;
        }
        default:
            break;
        }
        return event;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
};

// XTEST key events on a connection of its own, keycodes looked up once.
class Keys {
public:
    explicit Keys(const std::string& display)
        : m_connection(xcb_connect(display.c_str(), nullptr)) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
        for (const auto& [name, sym] :
             std::map<std::string, xcb_keysym_t>{{"Control_L", XK_Control_L},
                                                 {"Alt_L", XK_Alt_L},
                                                 {"Right", XK_Right},
                                                 {"Tab", XK_Tab}}) {
            xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, sym);
            m_codes[name] = codes ? codes[0] : 0;
            std::free(codes);
        }
        xcb_key_symbols_free(symbols);
    }
    ~Keys() { xcb_disconnect(m_connection); }
    Keys(const Keys&) = delete;
    Keys& operator=(const Keys&) = delete;

    // Queues a key event; nothing is sent before flush().
    void down(const std::string& key) { fake(key, XCB_KEY_PRESS); }
    void up(const std::string& key) { fake(key, XCB_KEY_RELEASE); }
    void flush() { xcb_flush(m_connection); }
    void sync() {
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    void fake(const std::string& key, uint8_t type) {
        xcb_test_fake_input(m_connection, type, m_codes.at(key), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
    }

    xcb_connection_t* m_connection;
    std::map<std::string, xcb_keycode_t> m_codes;
};

// What /proc says about a process and all its threads.
struct ProcessFigures {
    double cpuSeconds = 0;
    long voluntary = 0;
    long involuntary = 0;
    long mainThreadSwitches = 0;
    long rssKiB = 0;
    int threads = 0;
};

long statusField(const std::string& path, const std::string& field) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    }
    return 0;
}

ProcessFigures figuresOf(pid_t pid) {
    ProcessFigures figures;
    const std::string base = "/proc/" + std::to_string(pid);
    std::ifstream stat(base + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(text.substr(close + 2));
        std::vector<std::string> rest;
        std::string field;
        while (fields >> field)
            rest.push_back(field);
        // After the command: state is field 3, utime field 14 and stime field 15.
        if (rest.size() > 12) {
            const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
            figures.cpuSeconds =
                (std::atof(rest[11].c_str()) + std::atof(rest[12].c_str())) / ticks;
        }
    }
    figures.rssKiB = statusField(base + "/status", "VmRSS");
    if (DIR* tasks = opendir((base + "/task").c_str())) {
        while (dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string status = base + "/task/" + entry->d_name + "/status";
            const long voluntary = statusField(status, "voluntary_ctxt_switches");
            const long involuntary = statusField(status, "nonvoluntary_ctxt_switches");
            figures.voluntary += voluntary;
            figures.involuntary += involuntary;
            if (std::to_string(pid) == entry->d_name)
                figures.mainThreadSwitches = voluntary;
            ++figures.threads;
        }
        closedir(tasks);
    }
    return figures;
}

bool alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && text.size() > close + 2 && text[close + 2] != 'Z';
}

std::string mib(long kib) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024.0);
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
                 const std::string& log) {
    Halvo halvo;
    watcher.drain();
    const auto start = Clock::now();
    halvo.pid = session.spawn({"/bin/sh", "-c", "exec \"$0\" 2>>\"$1\"", options.halvo, log});
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
        Keys keys(session.display());
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
            halvo = startHalvo(session, watcher, m_options, m_log);
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
            if (!alive(alttab)) {
                std::fprintf(stderr, "alttab exited; see %s\n", m_log.c_str());
                alttab = -1;
            }
        }
        pause(1.5);
        const ProcessFigures halvoIdle = figuresOf(halvo.pid);
        row("Halvo", "RSS idle",
            "| " + mib(halvoIdle.rssKiB) + " | | | " + std::to_string(halvoIdle.threads) +
                " threads |");
        if (alttab > 0) {
            const ProcessFigures alttabIdle = figuresOf(alttab);
            row("alttab", "RSS idle", "| " + mib(alttabIdle.rssKiB) + " | | | |");
        }

        measureHalvoLatency(watcher, keys, halvo);
        if (alttab > 0)
            measureAlttabLatency(watcher, keys);

        const long rssBefore = figuresOf(halvo.pid).rssKiB;
        const int done1 = switches(watcher, keys, halvo, m_options.switches);
        const long rss1 = figuresOf(halvo.pid).rssKiB;
        const int done2 = switches(watcher, keys, halvo, m_options.switches);
        const long rss2 = figuresOf(halvo.pid).rssKiB;
        char growth[200];
        std::snprintf(growth, sizeof growth,
                      "| %s | after %d: %s | after %d more: %s (%+ld KiB) | %d+%d switches |",
                      mib(rssBefore).c_str(), done1, mib(rss1).c_str(), done2, mib(rss2).c_str(),
                      rss2 - rss1, done1, done2);
        row("Halvo", "RSS before / after switches", growth);

        idle(halvo.pid, alttab);

        if (!alive(halvo.pid))
            std::fprintf(stderr, "halvo exited during the run; see %s\n", m_log.c_str());
        session.kill(halvo.pid);
        std::system(("rm -rf '" + config + "'").c_str());
    }

private:
    void row(const char* program, const std::string& what, const std::string& figures) {
        std::printf("| %d | %s | %s %s\n", m_windows, program, what.c_str(), figures.c_str());
        std::fflush(stdout);
    }

    void releaseAll(Keys& keys) {
        keys.up("Right");
        keys.up("Tab");
        keys.up("Alt_L");
        keys.up("Control_L");
        keys.flush();
        keys.sync();
    }

    void measureHalvoLatency(RootWatcher& watcher, Keys& keys, const Halvo& halvo) {
        std::vector<double> show;
        std::vector<double> activate;
        const xcb_window_t overlay = halvo.overlay;
        for (int trial = 0; trial < m_options.trials; ++trial) {
            watcher.drain();
            keys.down("Control_L");
            keys.down("Alt_L");
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
            keys.down("Right");
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
        row("Halvo", "Control+Alt down → overlay mapped", summary(show, m_options.trials));
        row("Halvo", "Right → _NET_ACTIVE_WINDOW changed", summary(activate, m_options.trials));
    }

    void measureAlttabLatency(RootWatcher& watcher, Keys& keys) {
        std::vector<double> show;
        for (int trial = 0; trial < m_options.trials; ++trial) {
            keys.down("Alt_L");
            keys.flush();
            keys.sync();
            watcher.drain();
            keys.down("Tab");
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
    int switches(RootWatcher& watcher, Keys& keys, const Halvo& halvo, int count) {
        int done = 0;
        for (int i = 0; i < count; ++i) {
            watcher.drain();
            keys.down("Control_L");
            keys.down("Alt_L");
            keys.flush();
            const bool mapped =
                watcher
                    .waitFor(
                        [&](const RootWatcher::Event& e) {
                            return e.type == XCB_MAP_NOTIFY && e.window == halvo.overlay;
                        },
                        2)
                    .has_value();
            keys.down("Right");
            keys.up("Right");
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
        const ProcessFigures halvoBefore = figuresOf(halvo);
        const ProcessFigures alttabBefore = alttab > 0 ? figuresOf(alttab) : ProcessFigures{};
        pause(m_options.idleSeconds);
        const ProcessFigures halvoAfter = figuresOf(halvo);
        char text[200];
        std::snprintf(text, sizeof text,
                      "| %.3f s CPU | %ld wake-ups (main thread %ld) | %ld involuntary | %.0f s |",
                      halvoAfter.cpuSeconds - halvoBefore.cpuSeconds,
                      halvoAfter.voluntary - halvoBefore.voluntary,
                      halvoAfter.mainThreadSwitches - halvoBefore.mainThreadSwitches,
                      halvoAfter.involuntary - halvoBefore.involuntary, m_options.idleSeconds);
        row("Halvo", "idle (after the switches)", text);
        if (alttab > 0) {
            const ProcessFigures alttabAfter = figuresOf(alttab);
            std::snprintf(text, sizeof text,
                          "| %.3f s CPU | %ld wake-ups (main thread %ld) | %ld involuntary | %.0f "
                          "s |",
                          alttabAfter.cpuSeconds - alttabBefore.cpuSeconds,
                          alttabAfter.voluntary - alttabBefore.voluntary,
                          alttabAfter.mainThreadSwitches - alttabBefore.mainThreadSwitches,
                          alttabAfter.involuntary - alttabBefore.involuntary,
                          m_options.idleSeconds);
            row("alttab", "idle (after the switches)", text);
            const ProcessFigures alttabNow = figuresOf(alttab);
            row("alttab", "RSS after its trials", "| " + mib(alttabNow.rssKiB) + " | | | |");
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
            options.halvo = value();
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
                         "usage: switcher_performance_probe [--halvo PATH] [--windows 5,50,200] "
                         "[--trials N] [--starts N] [--switches N] [--idle-seconds S] "
                         "[--no-alttab] [--log-dir DIR]\n");
            return 2;
        }
    }
    std::printf("| windows | program | measurement | median | p10–p90 | max | n |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int windows : options.windows)
        Run(options, windows).measure();
    return 0;
}
