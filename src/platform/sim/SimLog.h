// A log that keeps its lines for tests to read.
#pragma once

#include "platform/Log.h"

#include <mutex>
#include <string>
#include <vector>

namespace halvo {

class SimLog final : public Log {
public:
    void write(const std::string& line) override {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

} // namespace halvo
