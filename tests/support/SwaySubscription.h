// sway's IPC events as a test reads them: `swaymsg -t subscribe -m` for the chosen event types,
// its JSON output split into events as it arrives.
#pragma once

#include "support/SwaySession.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvo::test {

class SwaySubscription {
public:
    // Subscribes to `eventTypes` ("binding", "window", ...) and returns once sway has confirmed
    // the subscription, so nothing that happens afterwards is missed.
    SwaySubscription(const SwaySession& session, const std::vector<std::string>& eventTypes);
    ~SwaySubscription();
    SwaySubscription(const SwaySubscription&) = delete;
    SwaySubscription& operator=(const SwaySubscription&) = delete;

    bool ok() const { return m_ok; }

    // Every event of the chosen types that has arrived, oldest first.
    const std::vector<nlohmann::json>& events();

    // Waits up to `seconds` for an event that satisfies `pred`; the first such event.
    std::optional<nlohmann::json> waitFor(const std::function<bool(const nlohmann::json&)>& pred,
                                          double seconds = 10.0);

    // Returns once every event that sway sent before this call has been read: a tick sent
    // through sway comes back behind them. Lets a test say that an event did *not* come.
    bool sync(double seconds = 10.0);

private:
    void readAvailable();
    void take(const nlohmann::json& event);

    const SwaySession& m_session;
    pid_t m_process = -1;
    int m_output = -1;
    std::string m_buffer;
    std::vector<nlohmann::json> m_events;
    std::vector<std::string> m_ticks;
    int m_sentTicks = 0;
    bool m_ok = false;
};

} // namespace halvo::test
