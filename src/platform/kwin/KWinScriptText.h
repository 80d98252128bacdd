// The resident script Halvo runs inside KWin: it lists the windows, the outputs and the active
// window for Halvo, carries out Halvo's commands on windows, and obeys no one else. It is thin:
// every decision stays in Halvo.
#pragma once

#include <string>
#include <sys/types.h>

namespace halvo {

class KWinScriptText {
public:
    // The D-Bus interface and object path of the service the script calls (KWinScriptChannel).
    static constexpr const char* interfaceName = "org.halvo.KWinScript";
    static constexpr const char* objectPath = "/KWinScript";

    // The script's source for the Halvo whose unique bus name is `service` (":1.42"), with
    // process `ownPid`: the script reports to that name only and never lists or activates
    // Halvo's own surfaces. `service` must be a unique bus name (checked: nothing else is
    // written into the source).
    static std::string forService(const std::string& service, pid_t ownPid);
};

} // namespace halvo
