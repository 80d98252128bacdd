// Passing sway's IPC through and keeping the commands, see SwayCommandTap.h.
#include "support/sway/SwayCommandTap.h"

#include "platform/i3ipc/I3IpcMessage.h"

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace halvo::test {
namespace {

sockaddr_un address(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    return addr;
}

// Both ends are sockets; one whose peer is gone (sway killed under a test) fails the write
// instead of ending the test process with SIGPIPE.
bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

SwayCommandTap::SwayCommandTap(const std::string& swaySocket, const std::string& folder)
    : m_swaySocket(swaySocket), m_path(folder + "/command-tap.sock") {
    ::unlink(m_path.c_str());
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un addr = address(m_path);
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listener, 16) != 0 || ::pipe(m_stop) != 0)
        return; // clients then fail to connect, which the test reports
    m_thread = std::thread([this] { run(); });
}

SwayCommandTap::~SwayCommandTap() {
    if (m_thread.joinable()) {
        [[maybe_unused]] const ssize_t woken = ::write(m_stop[1], "x", 1);
        m_thread.join();
    }
    for (const Link& link : m_links) {
        ::close(link.client);
        ::close(link.sway);
    }
    for (const int fd : {m_listener, m_stop[0], m_stop[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
    ::unlink(m_path.c_str());
}

std::vector<std::string> SwayCommandTap::commands() {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

void SwayCommandTap::clear() {
    std::lock_guard lock(m_mutex);
    m_commands.clear();
}

void SwayCommandTap::run() {
    for (;;) {
        std::vector<pollfd> fds{{m_stop[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const Link& link : m_links) {
            fds.push_back({link.client, POLLIN, 0});
            fds.push_back({link.sway, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 || fds[0].revents)
            return;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            const int sway = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_un addr = address(m_swaySocket);
            if (::connect(sway, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
                m_links.push_back({client, sway, {}});
            } else {
                ::close(client);
                ::close(sway);
            }
        }
        // Links closed on either side are dropped, both ends closed.
        for (size_t i = 0, fd = 2; i < m_links.size(); ++i, fd += 2) {
            Link& link = m_links[i];
            const bool open = (!fds[fd].revents || pass(link.client, link.sway, &link.pending)) &&
                              (!fds[fd + 1].revents || pass(link.sway, link.client, nullptr));
            if (!open) {
                ::close(link.client);
                ::close(link.sway);
                link.client = link.sway = -1;
            }
        }
        std::erase_if(m_links, [](const Link& link) { return link.client < 0; });
    }
}

bool SwayCommandTap::pass(int from, int to, std::string* pending) {
    char buffer[65536];
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got <= 0 || !writeAll(to, buffer, static_cast<size_t>(got)))
        return false;
    if (pending) {
        pending->append(buffer, static_cast<size_t>(got));
        record(*pending);
    }
    return true;
}

void SwayCommandTap::record(std::string& pending) {
    constexpr size_t header = I3IpcMessage::headerSize;
    while (pending.size() >= header) {
        I3IpcMessage::Header fields;
        std::memcpy(&fields.length, pending.data() + I3IpcMessage::magic.size(), 4);
        std::memcpy(&fields.type, pending.data() + I3IpcMessage::magic.size() + 4, 4);
        if (pending.size() < header + fields.length)
            return;
        if (fields.type == static_cast<std::uint32_t>(I3IpcMessage::Type::runCommand)) {
            std::lock_guard lock(m_mutex);
            m_commands.push_back(pending.substr(header, fields.length));
        }
        pending.erase(0, header + fields.length);
    }
}

} // namespace halvo::test
