// The halvo program: reads the command line, chooses the session (sway or X11) from the
// environment and runs Halvo there.
#include "app/CommandLine.h"
#include "app/SessionChoice.h"
#include "app/session/SwayProgram.h"
#include "app/session/X11Program.h"
#include "platform/linux/MallocSettings.h"
#include "platform/linux/StderrLog.h"

#include <cstdio>
#include <string>
#include <vector>

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
    const SessionChoice session = SessionChoice::fromProcessEnvironment();
    switch (session.kind()) {
    case SessionChoice::Kind::sway:
        return SwayProgram::run(argc, argv, commandLine.openPreferences(), log);
    case SessionChoice::Kind::x11:
        return X11Program::run(argc, argv, commandLine.openPreferences(), log);
    case SessionChoice::Kind::unsupported:
        break;
    }
    log.write("Halvo: " + session.refusal());
    return 1;
}
