// The framing of i3's IPC (which sway speaks too): the magic "i3-ipc", the payload's length and
// the message type as 32-bit integers in native byte order, then the JSON payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace halvo {

class I3IpcMessage {
public:
    enum class Type : std::uint32_t {
        runCommand = 0,
        getWorkspaces = 1,
        subscribe = 2,
        getOutputs = 3,
        getTree = 4,
        getBarConfig = 6,
        getVersion = 7,
        getConfig = 9
    };
    struct Header {
        std::uint32_t length = 0;
        std::uint32_t type = 0;
    };

    static constexpr std::string_view magic = "i3-ipc";
    static constexpr std::size_t headerSize = magic.size() + 8;

    static std::string encode(Type type, std::string_view payload);
    // Reads the header of a reply; throws I3IpcError when the magic is wrong or the payload
    // would be longer than maxLength.
    static Header decodeHeader(const char (&bytes)[headerSize], std::uint32_t maxLength);
};

} // namespace halvo
