// Latency probe: from an XTEST key press of Control+Alt+Right to the onSwitch callback, on a
// private X server, the connection read when poll() says it is readable (as the event loop's
// socket notifier does). Prints the median and spread over 200 presses.
#include "input/HotkeyManager.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMainQueue.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventMonitor.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "support/XTestKeyboard.h"
#include "support/XvfbSession.h"

#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <vector>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

using namespace halvo;
using Clock = std::chrono::steady_clock;

int main() {
    test::XvfbSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
        return 1;
    }
    session.spawn({"xterm"});
    session.waitForClientWindow("XTerm");

    std::string error;
    auto connection = X11Connection::open(session.display().c_str(), error);
    if (!connection) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    X11HotkeyRegistrar registrar(*connection);
    X11EventMonitor monitor(*connection);
    SimMainQueue queue;
    SimLog log;
    HotkeyManager manager(ShortcutModifiers(3), registrar, monitor, queue, log);
    int switches = 0;
    manager.onSwitch = [&](HotkeyAction) { ++switches; };
    if (!manager.start()) {
        std::fprintf(stderr, "hot keys could not be registered\n");
        return 1;
    }

    test::XTestKeyboard keyboard(session.display());
    keyboard.press("Control_L");
    keyboard.press("Alt_L");
    xcb_connection_t* sender = keyboard.connection();
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(sender);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XK_Right);
    const xcb_keycode_t right = codes[0];
    free(codes);
    xcb_key_symbols_free(symbols);

    auto pumpUntil = [&](auto done) {
        pollfd fd{connection->fileDescriptor(), POLLIN, 0};
        while (!done()) {
            connection->dispatchPending();
            queue.runPending();
            if (done())
                break;
            poll(&fd, 1, 100);
        }
    };

    constexpr int presses = 200;
    std::vector<double> micros;
    for (int i = 0; i < presses; ++i) {
        const int before = switches;
        const auto start = Clock::now();
        xcb_test_fake_input(sender, XCB_KEY_PRESS, right, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(sender);
        pumpUntil([&] { return switches > before; });
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        xcb_test_fake_input(sender, XCB_KEY_RELEASE, right, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(sender);
        pumpUntil([&] { return !manager.pressedAction(); });
    }
    keyboard.release("Alt_L");
    keyboard.release("Control_L");

    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<std::size_t>(q * (micros.size() - 1))]; };
    std::printf("XTEST press of Control+Alt+Right to onSwitch, %d presses (microseconds)\n",
                presses);
    std::printf("  median %.0f   p10 %.0f   p90 %.0f   p99 %.0f   min %.0f   max %.0f\n", at(0.5),
                at(0.1), at(0.9), at(0.99), micros.front(), micros.back());
    return 0;
}
