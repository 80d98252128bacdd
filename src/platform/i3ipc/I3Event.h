// One message read from a subscribed i3 IPC socket: an event, or the reply to a request sent on
// that socket.
#pragma once

#include <string>

namespace halvo {

struct I3Event {
    // "window", "workspace", "output", "binding", "shutdown", "tick", "mode", ... for events;
    // "reply" for the answer to a request (the subscription's, for one).
    std::string type;
    std::string payload; // the JSON text, unparsed
};

} // namespace halvo
