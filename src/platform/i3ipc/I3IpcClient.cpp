// The i3 IPC socket, see I3IpcClient.h.
#include "platform/i3ipc/I3IpcClient.h"

#include "platform/i3ipc/I3Command.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/i3ipc/I3Reply.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace halvo {
namespace {

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

I3IpcClient::I3IpcClient(const std::string& path, std::chrono::milliseconds timeout)
    : m_timeout(timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        throw I3IpcError("no usable i3 IPC socket path \"" + path + "\"");
    std::memcpy(address.sun_path, path.data(), path.size());
    // Non-blocking from the start: every wait goes through poll() with a deadline.
    m_socket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_socket < 0)
        throw I3IpcError(systemError("cannot open a socket for i3 IPC"));
    if (connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A Unix socket connects at once or not at all, unless the listener's backlog is full.
        const std::string error = systemError("cannot connect to i3 IPC socket " + path);
        close(m_socket);
        throw I3IpcError(error);
    }
}

I3IpcClient::~I3IpcClient() {
    close(m_socket);
}

std::string I3IpcClient::request(I3IpcMessage::Type type, std::string_view payload) {
    m_deadline = std::chrono::steady_clock::now() + m_timeout;
    writeAll(I3IpcMessage::encode(type, payload));
    char header[I3IpcMessage::headerSize];
    readAll(header, sizeof header);
    const I3IpcMessage::Header decoded = I3IpcMessage::decodeHeader(header, maxReplyLength);
    if (decoded.type != static_cast<std::uint32_t>(type))
        throw I3IpcError("i3 IPC reply of type " + std::to_string(decoded.type) +
                         " to a request of type " +
                         std::to_string(static_cast<std::uint32_t>(type)));
    std::string reply(decoded.length, '\0');
    readAll(reply.data(), reply.size());
    return reply;
}

std::vector<I3CommandResult> I3IpcClient::runCommand(std::string_view command) {
    return I3Reply::commands(request(I3IpcMessage::Type::runCommand, command));
}

I3Node I3IpcClient::tree() {
    return I3Reply::tree(request(I3IpcMessage::Type::getTree));
}

std::vector<I3Output> I3IpcClient::outputs() {
    return I3Reply::outputs(request(I3IpcMessage::Type::getOutputs));
}

std::vector<I3Workspace> I3IpcClient::workspaces() {
    return I3Reply::workspaces(request(I3IpcMessage::Type::getWorkspaces));
}

void I3IpcClient::subscribe(const std::vector<std::string>& eventTypes) {
    std::string list = "[";
    for (const std::string& type : eventTypes) {
        if (list.size() > 1)
            list += ',';
        list += I3Command::quoted(type);
    }
    list += "]";
    if (!I3Reply::success(request(I3IpcMessage::Type::subscribe, list)))
        throw I3IpcError("i3 IPC refused the subscription to " + list);
}

void I3IpcClient::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        waitFor(POLLOUT);
        const ssize_t sent = send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            throw I3IpcError(systemError("cannot write to i3 IPC socket"));
        if (sent > 0)
            bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void I3IpcClient::readAll(char* into, std::size_t length) {
    while (length > 0) {
        waitFor(POLLIN);
        const ssize_t got = recv(m_socket, into, length, 0);
        if (got == 0)
            throw I3IpcError("i3 IPC socket closed in the middle of a reply");
        if (got < 0 && errno != EAGAIN && errno != EINTR)
            throw I3IpcError(systemError("cannot read from i3 IPC socket"));
        if (got > 0) {
            into += got;
            length -= static_cast<std::size_t>(got);
        }
    }
}

void I3IpcClient::waitFor(short events) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw I3IpcError("i3 IPC: no answer within " + std::to_string(m_timeout.count()) +
                                 " ms",
                             I3IpcError::Kind::timedOut);
        pollfd watched{m_socket, events, 0};
        const int ready = poll(&watched, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return; // errors and hang-ups surface in the following send or recv
        if (ready < 0 && errno != EINTR)
            throw I3IpcError(systemError("cannot wait on i3 IPC socket"));
    }
}

} // namespace halvo
