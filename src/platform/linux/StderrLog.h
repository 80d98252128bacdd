// The log on standard error: one line per event.
#pragma once

#include "platform/Log.h"

#include <mutex>

namespace halvo {

class StderrLog final : public Log {
public:
    // Writes the line and a newline in one piece; safe from any thread.
    void write(const std::string& line) override;

private:
    std::mutex m_mutex;
};

} // namespace halvo
