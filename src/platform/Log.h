// The program's log: one line per event, each beginning "Halvo: ".
#pragma once

#include <string>

namespace halvo {

class Log {
public:
    virtual ~Log() = default;
    virtual void write(const std::string& line) = 0;
};

} // namespace halvo
