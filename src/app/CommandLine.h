// The halvo program's command line: what to do, and the usage text.
#pragma once

#include <string>
#include <vector>

namespace halvo {

class CommandLine {
public:
    enum class Action {
        run,         // start (or, with openPreferences, ask the running Halvo for Preferences)
        showHelp,    // print usage() to standard output, exit 0
        showVersion, // print the version, exit 0
        refuse,      // print error() and usage() to standard error, exit 2
    };

    static CommandLine parse(const std::vector<std::string>& arguments);
    static const char* usage();
    // What --version prints: "Halvo VERSION (BUILD)", then the copyright and the licence.
    static std::string versionText(const std::string& version, const std::string& build);

    Action action() const { return m_action; }
    bool openPreferences() const { return m_openPreferences; }
    const std::string& error() const { return m_error; }

private:
    Action m_action = Action::run;
    bool m_openPreferences = false;
    std::string m_error;
};

} // namespace halvo
