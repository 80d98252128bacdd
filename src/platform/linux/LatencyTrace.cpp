// One write(2) per line, straight to standard error: no buffering that would delay or reorder
// the line behind the program's other output.
#include "platform/linux/LatencyTrace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace halvo {

bool LatencyTrace::enabled() {
    static const bool on = std::getenv("HALVO_LATENCY_TRACE") != nullptr;
    return on;
}

void LatencyTrace::mark(const char* source, const char* what) {
    if (!enabled())
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[128];
    const int length =
        std::snprintf(line, sizeof line, "halvo-trace %s:%s %lld\n", source, what,
                      static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof line)
        return;
    [[maybe_unused]] const ssize_t written =
        ::write(STDERR_FILENO, line, static_cast<size_t>(length));
}

} // namespace halvo
