// The halvo program: reads the command line, chooses the session from the environment by the
// table of the sessions Halvo supports, and runs Halvo there.
#include "app/CommandLine.h"
#include "app/SessionChoice.h"
#include "app/session/GnomeProgram.h"
#include "app/session/KWinProgram.h"
#include "app/session/SwayProgram.h"
#include "app/session/X11Program.h"
#include "platform/linux/MallocSettings.h"
#include "platform/linux/StderrLog.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The sessions Halvo supports, the Wayland ones in the order they are recognised: a new session
// is its composition root (src/app/session) and a row here.
const std::vector<halvo::SessionChoice::Session> sessions = {
    {"sway", halvo::SessionChoice::isSway, halvo::SwayProgram::run},
    {"GNOME", halvo::GnomeProgram::recognises, halvo::GnomeProgram::run},
    {"KDE Plasma", halvo::SessionChoice::isKde, halvo::KWinProgram::run},
    {"X11", nullptr, halvo::X11Program::run},
};

} // namespace

int main(int argc, char** argv) {
    using namespace halvo;
    MallocSettings::apply(); // before any thread starts
    const CommandLine commandLine =
        CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (commandLine.action()) {
    case CommandLine::Action::showHelp:
        std::fputs(CommandLine::usage(), stdout);
        return 0;
    case CommandLine::Action::showVersion:
        std::fputs(CommandLine::versionText(HALVO_VERSION, HALVO_BUILD).c_str(), stdout);
        return 0;
    case CommandLine::Action::refuse:
        std::fprintf(stderr, "halvo: %s\n\n%s", commandLine.error().c_str(), CommandLine::usage());
        return 2;
    case CommandLine::Action::run:
        break;
    }
    StderrLog log;
    const SessionChoice choice = SessionChoice::fromProcessEnvironment(sessions);
    if (!choice.session()) {
        log.write("Halvo: " + choice.refusal());
        return 1;
    }
    return choice.session()->program(argc, argv, commandLine.openPreferences(), log);
}
