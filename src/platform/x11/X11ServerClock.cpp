// The server clock's offset, learnt from event times.
#include "platform/x11/X11ServerClock.h"

#include <algorithm>
#include <chrono>

namespace halvo {

void X11ServerClock::observe(std::uint32_t serverTime, double localMs) {
    if (serverTime == 0)
        return; // CurrentTime: no time at all
    const double server = m_seen ? unwrapped(serverTime) : serverTime;
    m_seen = true;
    m_lastServerTime = serverTime;
    m_lastUnwrapped = server;
    if (localMs - m_windowStart >= windowMs) {
        m_previousLeast = m_currentLeast;
        m_currentLeast = none;
        m_windowStart = localMs;
    }
    m_currentLeast = std::min(m_currentLeast, localMs - server);
}

double X11ServerClock::age(std::uint32_t serverTime, double localMs) const {
    const double offset = std::min(m_currentLeast, m_previousLeast);
    if (!m_seen || serverTime == 0 || offset == none)
        return 0;
    const double stampedAt = unwrapped(serverTime) + offset;
    return std::max(0.0, localMs - stampedAt) / 1000.0;
}

double X11ServerClock::steadyMilliseconds() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double X11ServerClock::unwrapped(std::uint32_t serverTime) const {
    // The signed difference is right for any two times less than 24 days apart.
    return m_lastUnwrapped + static_cast<std::int32_t>(serverTime - m_lastServerTime);
}

} // namespace halvo
