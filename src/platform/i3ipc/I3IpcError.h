// The error of an i3 IPC exchange: no socket, a timeout, a reply too large or not the JSON the
// protocol promises. Its message says which, for the log.
#pragma once

#include <stdexcept>
#include <string>

namespace halvo {

class I3IpcError : public std::runtime_error {
public:
    // A timeout is told apart: the window manager is there but has not answered in time.
    enum class Kind { failed, timedOut };

    explicit I3IpcError(const std::string& what, Kind kind = Kind::failed)
        : std::runtime_error(what), m_kind(kind) {}

    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace halvo
