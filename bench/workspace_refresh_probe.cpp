// How long one enumeration of the running applications takes on a real X server with many client
// windows: the workspace's read after another client changed a root property (its kept list is
// stale, so it reads again) against a naive one-request-at-a-time walk of the same properties,
// with the probe on the X server's CPU and on the other one.
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/X11Workspace.h"
#include "support/FakeX11Client.h"
#include "support/XvfbSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <vector>
#include <xcb/res.h>

using namespace halvo;
using halvo::test::FakeX11Client;
using halvo::test::XvfbSession;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool pinTo(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

// Every property the workspace reads, one request and its reply at a time. Returns the number of
// windows whose class was read, so the work cannot be optimised away.
std::size_t naiveEnumeration(X11Connection& connection) {
    xcb_connection_t* c = connection.xcb();
    const auto property = [c](xcb_window_t window, xcb_atom_t atom, xcb_atom_t type,
                              std::uint32_t length) {
        free(xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, type, 0, length),
                                    nullptr));
    };
    auto* list = xcb_get_property_reply(c,
                                        xcb_get_property(c, 0, connection.root(),
                                                         connection.atom("_NET_CLIENT_LIST"),
                                                         XCB_ATOM_WINDOW, 0, 4096),
                                        nullptr);
    std::vector<xcb_window_t> clients;
    if (list && list->format == 32) {
        const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(list));
        clients.assign(data, data + xcb_get_property_value_length(list) / 4);
    }
    free(list);
    for (const char* name : {"_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW"})
        property(connection.root(), connection.atom(name), XCB_ATOM_WINDOW, 4096);
    property(connection.root(), connection.atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 1);
    std::size_t named = 0;
    for (xcb_window_t window : clients) {
        auto* wmClass = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
        named += wmClass && wmClass->value_len > 0;
        free(wmClass);
        property(window, connection.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 1);
        property(window, connection.atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 16);
        property(window, connection.atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32);
        property(window, connection.atom("WM_STATE"), connection.atom("WM_STATE"), 2);
        property(window, connection.atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 1);
        property(window, connection.atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 0);
        xcb_res_client_id_spec_t options{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        free(xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &options), nullptr));
    }
    return named;
}

// Another client touching a root property without changing it: what any change on the desktop
// does to the workspace's kept list, which the next enumeration then reads again.
void touchRoot(X11Connection& other) {
    xcb_connection_t* c = other.xcb();
    xcb_change_property(c, XCB_PROP_MODE_APPEND, other.root(),
                        other.atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 32, 0, nullptr);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// The median of `runs` timed calls, in milliseconds, each after `prepare` (untimed).
template <typename P, typename F>
double median(int runs, X11Connection& connection, P&& prepare, F&& body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        connection.dispatchPending();
        const auto start = Clock::now();
        body();
        times.push_back(millisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Row {
    int windows = 0;
    const char* placement = "";
    double first = 0;
    double pipelined = 0;
    double naive = 0;
};

} // namespace

int main() {
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    // The server, the window manager and the clients all inherit CPU 0.
    const bool pinned = cpus >= 2 && pinTo(0);
    std::vector<Row> rows;
    for (int windows : {50, 200, 1000}) {
        if (pinned)
            pinTo(0);
        XvfbSession session(XvfbSession::Options{.twoMonitors = false});
        if (!session.ok()) {
            std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
            return 1;
        }
        // Ten applications share the windows, each window with its own 16+64 pixel icon.
        for (int app = 0; app < 10; ++app)
            FakeX11Client::spawn(session, {.windows = windows / 10,
                                           .wmClass = "Bench" + std::to_string(app),
                                           .width = 24,
                                           .height = 24});
        std::string error;
        auto connection = X11Connection::open(session.display().c_str(), error);
        auto other = X11Connection::open(session.display().c_str(), error);
        if (!connection || !other) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const auto launched = Clock::now();
        const bool managed = XvfbSession::waitUntil(
            [&] {
                // Cheap and rare: the server's CPU is busy with openbox managing the windows.
                usleep(100000);
                const auto reply = X11Property::receive(
                    connection->xcb(), X11Property::request(connection->xcb(), connection->root(),
                                                            connection->atom("_NET_CLIENT_LIST"),
                                                            XCB_ATOM_WINDOW, 4096));
                return X11Property::values32(reply).size() == static_cast<std::size_t>(windows);
            },
            300);
        std::fprintf(stderr, "%d windows managed after %.1f s\n", windows,
                     millisecondsSince(launched) / 1000);
        if (!managed) {
            std::fprintf(stderr, "openbox did not manage %d windows in time\n", windows);
            return 1;
        }

        for (int placement = 0; placement < (pinned ? 2 : 1); ++placement) {
            if (pinned)
                pinTo(placement);
            Row row;
            row.windows = windows;
            row.placement = !pinned ? "unpinned" : placement == 0 ? "same CPU" : "other CPU";
            // A new workspace reads every application's icon once, then only icon lengths.
            X11Workspace workspace(*connection, getpid());
            auto start = Clock::now();
            std::size_t apps = workspace.runningApplications().size();
            row.first = millisecondsSince(start);
            row.pipelined = median(
                windows >= 1000 ? 15 : 31, *connection, [&] { touchRoot(*other); },
                [&] { apps += workspace.runningApplications().size(); });
            std::size_t named = 0;
            row.naive = median(
                windows >= 1000 ? 3 : 7, *connection, [] {},
                [&] { named += naiveEnumeration(*connection); });
            if (apps == 0 || named == 0)
                std::fprintf(stderr, "nothing enumerated\n");
            rows.push_back(row);
        }
    }

    std::printf("Enumerating running applications on Xvfb + openbox (%ld CPUs; median ms)\n", cpus);
    std::printf("%8s  %-9s  %12s  %10s  %10s  %8s\n", "windows", "placement", "first(icons)",
                "pipelined", "naive", "speed-up");
    for (const Row& row : rows) {
        std::printf("%8d  %-9s  %12.2f  %10.2f  %10.2f  %7.1fx\n", row.windows, row.placement,
                    row.first, row.pipelined, row.naive, row.naive / row.pipelined);
    }
    return 0;
}
