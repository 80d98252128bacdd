// Reading /proc/<pid>/stat, status and task/*/status.
#include "support/ProcessFigures.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace halvo::test {
namespace {

long statusField(const std::string& path, const std::string& field) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    }
    return 0;
}

// The fields of /proc/<pid>/stat after the command's closing parenthesis (state first).
std::vector<std::string> statFields(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    std::vector<std::string> fields;
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return fields;
    std::istringstream in(text.substr(close + 1));
    std::string field;
    while (in >> field)
        fields.push_back(field);
    return fields;
}

} // namespace

ProcessFigures ProcessFigures::of(pid_t pid) {
    ProcessFigures figures;
    const std::vector<std::string> stat = statFields(pid);
    // State is field 3 of the file, utime 14 and stime 15.
    if (stat.size() > 12) {
        const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
        figures.cpuSeconds = (std::atof(stat[11].c_str()) + std::atof(stat[12].c_str())) / ticks;
    }
    const std::string base = "/proc/" + std::to_string(pid);
    figures.rssKiB = statusField(base + "/status", "VmRSS");
    DIR* tasks = opendir((base + "/task").c_str());
    if (!tasks)
        return figures;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string status = base + "/task/" + entry->d_name + "/status";
        const long voluntary = statusField(status, "voluntary_ctxt_switches");
        figures.voluntary += voluntary;
        const long involuntary = statusField(status, "nonvoluntary_ctxt_switches");
        figures.involuntary += involuntary;
        figures.threadPreempted[static_cast<pid_t>(std::atoi(entry->d_name))] = involuntary;
        figures.threadWakeups[static_cast<pid_t>(std::atoi(entry->d_name))] = voluntary;
        if (std::to_string(pid) == entry->d_name)
            figures.mainThreadWakeups = voluntary;
        ++figures.threads;
    }
    closedir(tasks);
    return figures;
}

namespace {

long sinceBefore(const std::map<pid_t, long>& now, const std::map<pid_t, long>& before) {
    long total = 0;
    for (const auto& [thread, count] : now) {
        const auto earlier = before.find(thread);
        total += count - (earlier == before.end() ? 0 : earlier->second);
    }
    return total;
}

} // namespace

long ProcessFigures::wakeupsSince(const ProcessFigures& before) const {
    return sinceBefore(threadWakeups, before.threadWakeups);
}

long ProcessFigures::preemptionsSince(const ProcessFigures& before) const {
    return sinceBefore(threadPreempted, before.threadPreempted);
}

bool ProcessFigures::alive(pid_t pid) {
    const std::vector<std::string> stat = statFields(pid);
    return !stat.empty() && stat[0] != "Z" && stat[0] != "X";
}

std::string ProcessFigures::mib(long kib) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024.0);
    return text;
}

} // namespace halvo::test
