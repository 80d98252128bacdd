// Unbuffered, whole-line writes to standard error.
#include "platform/linux/StderrLog.h"

#include <cstdio>

namespace halvo {

void StderrLog::write(const std::string& line) {
    std::lock_guard lock(m_mutex);
    std::string out = line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

} // namespace halvo
