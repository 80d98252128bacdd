// i3 IPC framing, see I3IpcMessage.h.
#include "platform/i3ipc/I3IpcMessage.h"

#include "platform/i3ipc/I3IpcError.h"

#include <cstring>

namespace halvo {

std::string I3IpcMessage::encode(Type type, std::string_view payload) {
    if (payload.size() > UINT32_MAX)
        throw I3IpcError("i3 IPC message too long");
    const auto length = static_cast<std::uint32_t>(payload.size());
    const auto code = static_cast<std::uint32_t>(type);
    std::string message(magic);
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&code), sizeof code);
    message.append(payload);
    return message;
}

I3IpcMessage::Header I3IpcMessage::decodeHeader(const char (&bytes)[headerSize],
                                                std::uint32_t maxLength) {
    if (std::string_view(bytes, magic.size()) != magic)
        throw I3IpcError("not an i3 IPC reply (wrong magic)");
    Header header;
    std::memcpy(&header.length, bytes + magic.size(), sizeof header.length);
    std::memcpy(&header.type, bytes + magic.size() + 4, sizeof header.type);
    if (header.length > maxLength)
        throw I3IpcError("i3 IPC reply of " + std::to_string(header.length) +
                         " bytes is larger than the limit of " + std::to_string(maxLength));
    return header;
}

} // namespace halvo
