// The error of an i3 IPC exchange: no socket, a timeout, a reply too large or not the JSON the
// protocol promises. Its message says which, for the log.
#pragma once

#include <stdexcept>
#include <string>

namespace halvo {

class I3IpcError : public std::runtime_error {
public:
    explicit I3IpcError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace halvo
