// Time stamps of the moments a latency probe cannot see from outside (the overlay's frames
// committed, a shortcut's binding event read): one line on standard error per moment, only when
// HALVO_LATENCY_TRACE is set, so that bench/sway's probe can compare them with the time it sent
// a key.
#pragma once

namespace halvo {

class LatencyTrace {
public:
    // Writes "halvo-trace SOURCE:WHAT NANOSECONDS" (CLOCK_MONOTONIC) when tracing is on; costs
    // one branch when it is off. `source` names whose moment it is (a layer surface's role).
    static void mark(const char* source, const char* what);
    static bool enabled();
};

} // namespace halvo
