// Splits the byte stream of a subscribed i3 IPC socket into whole messages, however the bytes
// arrive (a message over several reads, several messages in one). A frame with the wrong magic
// or a length above I3IpcClient::maxReplyLength is an I3IpcError: the stream cannot be
// resynchronised after it, so the caller drops the connection instead of waiting for bytes that
// would never make sense.
#pragma once

#include "platform/i3ipc/I3Event.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvo {

class I3EventReader {
public:
    explicit I3EventReader(std::uint32_t maxLength = defaultMaxLength);

    // Appends bytes read from the socket; throws I3IpcError once a complete header is malformed.
    void feed(std::string_view bytes);
    // The oldest complete message not yet taken; nothing while none is complete.
    std::optional<I3Event> next();

    // The name of an event type code (with its high bit set); "reply" for a reply's code.
    static std::string typeName(std::uint32_t code);

    static const std::uint32_t defaultMaxLength;

private:
    // Throws when the header at the front of the buffer is complete and malformed.
    void checkHeader();

    std::uint32_t m_maxLength;
    std::string m_buffer;
    std::size_t m_start = 0; // where the first message not yet taken begins in m_buffer
};

} // namespace halvo
