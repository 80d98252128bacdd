// What /proc tells about a running process and all its threads: CPU time, context switches
// (wake-ups) and resident memory. For probes that watch another program.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>

namespace halvo::test {

struct ProcessFigures {
    double cpuSeconds = 0;      // user + system time of all threads
    long voluntary = 0;         // voluntary context switches of all threads: its wake-ups
    long involuntary = 0;       // context switches forced on it
    long mainThreadWakeups = 0; // voluntary context switches of the main thread
    long rssKiB = 0;
    int threads = 0;
    std::map<pid_t, long> threadWakeups;   // voluntary context switches by thread id
    std::map<pid_t, long> threadPreempted; // involuntary ones by thread id

    // Wake-ups of the threads alive now since `before`; threads that ended meanwhile are not
    // counted, threads started meanwhile count from zero.
    long wakeupsSince(const ProcessFigures& before) const;
    // The same for the involuntary context switches.
    long preemptionsSince(const ProcessFigures& before) const;

    // The figures of `pid` now; all zero when it is gone.
    static ProcessFigures of(pid_t pid);
    // Whether `pid` runs (exists and is not a zombie).
    static bool alive(pid_t pid);
    // "12.3 MiB"
    static std::string mib(long kib);
};

} // namespace halvo::test
