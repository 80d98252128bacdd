// A desktop for tests of the whole program: a private X session with a window manager, xterm and
// xlogo running (xlogo in front), halvo started on it, and a keyboard that drives it.
#pragma once

#include "support/XTestKeyboard.h"
#include "support/XvfbSession.h"
#include "x11/FaultProgram.h"

#include <memory>
#include <string>
#include <vector>

namespace halvo::test {

class FaultDesktop {
public:
    explicit FaultDesktop(XvfbSession::Options options = {}) {
        session = std::make_unique<XvfbSession>(options);
        if (!session->ok()) {
            error = session->error();
            return;
        }
        session->spawn({"xterm"});
        xterm = session->waitForClientWindow("XTerm", 10);
        session->spawn({"xlogo"});
        xlogo = session->waitForClientWindow("XLogo", 10);
        // herbstluftwm now and then leaves the focus on xterm when xlogo maps right after it
        // (its rules focus new windows); then xlogo is brought forward as a user would.
        if (xlogo && !XvfbSession::waitUntil([&] { return activeIs(xlogo); }, 5))
            session->run("xdotool windowactivate " + std::to_string(xlogo));
        if (!xterm || !xlogo || !XvfbSession::waitUntil([&] { return activeIs(xlogo); }, 5)) {
            error = "xterm and xlogo did not come up with xlogo active (xterm " +
                    std::to_string(xterm) + ", xlogo " + std::to_string(xlogo) + ", active " +
                    std::to_string(session->activeWindow()) + ")";
            return;
        }
        keyboard = std::make_unique<XTestKeyboard>(session->display());
        program = std::make_unique<FaultProgram>(*session);
    }

    // Starts halvo; false (error set) when it did not come up.
    bool startProgram(const std::vector<std::string>& environment = {}) {
        if (!program->start(environment)) {
            error = "halvo did not start:\n" + program->log();
            return false;
        }
        return true;
    }

    bool ok() const { return error.empty(); }

    bool activeIs(unsigned long window) const { return session->activeWindow() == window; }

    // Control+Alt held until release().
    void hold() {
        keyboard->press("Control_L");
        keyboard->press("Alt_L");
    }
    void release() {
        keyboard->release("Alt_L");
        keyboard->release("Control_L");
    }

    // One whole switch: hold, wait for the overlay, Right, release; true when the other of the
    // two windows became active.
    bool switchOnce(double seconds = 5) {
        const unsigned long target = activeIs(xlogo) ? xterm : xlogo;
        hold();
        const bool shown =
            XvfbSession::waitUntil([&] { return program->overlay().has_value(); }, seconds);
        keyboard->tap("Right");
        const bool switched = XvfbSession::waitUntil([&] { return activeIs(target); }, seconds);
        release();
        const bool hidden = XvfbSession::waitUntil([&] { return !program->overlay(); }, seconds);
        return shown && switched && hidden;
    }

    std::unique_ptr<XvfbSession> session;
    std::unique_ptr<XTestKeyboard> keyboard;
    std::unique_ptr<FaultProgram> program;
    unsigned long xterm = 0;
    unsigned long xlogo = 0;
    std::string error;
};

} // namespace halvo::test
