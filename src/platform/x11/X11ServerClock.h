// Tells how long ago the X server stamped an event, on this process's steady clock: the server's
// millisecond time has its own origin (and may run on another machine), so the offset between
// the two clocks is learnt from the events as they are read.
#pragma once

#include <cstdint>
#include <limits>

namespace halvo {

class X11ServerClock {
public:
    // An event stamped `serverTime` was read when this process's steady clock said `localMs`.
    void observe(std::uint32_t serverTime, double localMs);

    // How long before `localMs` the server stamped `serverTime`, in seconds. The offset comes
    // from the quickest event seen lately, so the answer is never more than the event's real age
    // (give or take the server's millisecond rounding); 0 before any event was seen.
    double age(std::uint32_t serverTime, double localMs) const;

    // Milliseconds on the steady clock, as observe() and age() take them.
    static double steadyMilliseconds();

private:
    // The server's time made continuous across its wrap-around, near the last time observed.
    double unwrapped(std::uint32_t serverTime) const;

    static constexpr double windowMs = 10'000;
    static constexpr double none = std::numeric_limits<double>::infinity();

    bool m_seen = false;
    std::uint32_t m_lastServerTime = 0;
    double m_lastUnwrapped = 0;
    // Local minus server time, the least of the current window of observations and of the one
    // before: a transit is never negative, so the least is the nearest to the true offset, and
    // windows keep a slow drift between two machines' clocks from piling up.
    double m_windowStart = 0;
    double m_currentLeast = none;
    double m_previousLeast = none;
};

} // namespace halvo
