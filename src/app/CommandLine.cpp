// Option parsing for the halvo program.
#include "app/CommandLine.h"

namespace halvo {

const char* CommandLine::usage() {
    // clang-format off
    return "Usage: halvo [--preferences | --help | --version]\n"
           "\n"
           "Halvo is a keyboard-driven app switcher with a custom order. Hold Control+Alt (or your own\n"
           "combination) and press Left or Right to step through your apps; hold an arrow for 0.6 s to\n"
           "move the selected app's windows to the screen you started on; Up and Down enter and leave\n"
           "full screen. Halvo lives in the panel's system tray. It runs in X11 sessions (any window\n"
           "manager with EWMH support) and in sway on Wayland.\n"
           "\n"
           "  --preferences  open the Preferences window of the running Halvo (or start one and open it)\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Environment:\n"
           "  HALVO_NO_CONTROLLER=1  start idle, without tray icon, shortcut or permission checks (for\n"
           "                         tests of the program's windows)\n";
    // clang-format on
}

std::string CommandLine::versionText(const std::string& version, const std::string& build) {
    return "Halvo " + version + " (" + build +
           ")\n"
           "Copyright 2026 Seed 0d7007af maintainers\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later "
           "<https://www.gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            result.m_action = Action::showHelp;
            return result;
        }
        if (argument == "--version") {
            result.m_action = Action::showVersion;
            return result;
        }
        if (argument == "--preferences") {
            result.m_openPreferences = true;
            continue;
        }
        result.m_action = Action::refuse;
        result.m_error = "unknown option \"" + argument + "\"";
        return result;
    }
    return result;
}

} // namespace halvo
