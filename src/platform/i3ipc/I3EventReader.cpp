// Framing of a subscribed i3 IPC socket, see I3EventReader.h.
#include "platform/i3ipc/I3EventReader.h"

#include "platform/i3ipc/I3IpcClient.h"
#include "platform/i3ipc/I3IpcMessage.h"

#include <array>
#include <cstring>

namespace halvo {
namespace {

constexpr std::uint32_t eventBit = 0x80000000u;

// Event codes below the high bit, in the order i3 numbers them; sway adds 0x14 and 0x15.
constexpr std::array<const char*, 8> i3Events{"workspace",        "output",  "mode",     "window",
                                              "barconfig_update", "binding", "shutdown", "tick"};

} // namespace

const std::uint32_t I3EventReader::defaultMaxLength = I3IpcClient::maxReplyLength;

I3EventReader::I3EventReader(std::uint32_t maxLength) : m_maxLength(maxLength) {}

void I3EventReader::feed(std::string_view bytes) {
    // Taken messages are dropped only here, so that next() stays cheap.
    if (m_start > 0) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
    m_buffer.append(bytes);
    checkHeader();
}

void I3EventReader::checkHeader() {
    if (m_buffer.size() - m_start < I3IpcMessage::headerSize)
        return;
    char header[I3IpcMessage::headerSize];
    std::memcpy(header, m_buffer.data() + m_start, sizeof header);
    I3IpcMessage::decodeHeader(header, m_maxLength); // throws on a bad magic or length
}

std::optional<I3Event> I3EventReader::next() {
    if (m_buffer.size() - m_start < I3IpcMessage::headerSize)
        return std::nullopt;
    char bytes[I3IpcMessage::headerSize];
    std::memcpy(bytes, m_buffer.data() + m_start, sizeof bytes);
    const I3IpcMessage::Header header = I3IpcMessage::decodeHeader(bytes, m_maxLength);
    const std::size_t total = I3IpcMessage::headerSize + header.length;
    if (m_buffer.size() - m_start < total)
        return std::nullopt;
    I3Event event{typeName(header.type),
                  m_buffer.substr(m_start + I3IpcMessage::headerSize, header.length)};
    m_start += total;
    checkHeader();
    return event;
}

std::string I3EventReader::typeName(std::uint32_t code) {
    if ((code & eventBit) == 0)
        return "reply";
    const std::uint32_t index = code & ~eventBit;
    if (index < i3Events.size())
        return i3Events[index];
    if (index == 0x14)
        return "bar_state_update";
    if (index == 0x15)
        return "input";
    return "event " + std::to_string(index);
}

} // namespace halvo
