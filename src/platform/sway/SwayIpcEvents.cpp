// Reading sway's IPC events on the main thread, see SwayIpcEvents.h.
#include "platform/sway/SwayIpcEvents.h"

#include "platform/i3ipc/I3IpcError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace halvo {

SwayIpcEvents::SwayIpcEvents(const std::string& socketPath,
                             const std::vector<std::string>& eventTypes, Log* log)
    : m_log(log) {
    try {
        auto client = std::make_unique<I3IpcClient>(socketPath);
        client->subscribe(eventTypes);
        m_client = std::move(client);
    } catch (const I3IpcError& error) {
        m_error = error.what();
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_client->fd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readAvailable(); });
}

SwayIpcEvents::~SwayIpcEvents() = default;

void SwayIpcEvents::on(const std::string& type, Handler handler) {
    m_handlers[type].push_back(std::move(handler));
}

void SwayIpcEvents::onLost(std::function<void()> handler) {
    m_lostHandlers.push_back(std::move(handler));
}

std::uint64_t SwayIpcEvents::received() const {
    std::lock_guard lock(m_receiving);
    int waiting = 0;
    if (ok() && ioctl(m_client->fd(), FIONREAD, &waiting) != 0)
        waiting = 0;
    return m_bytesRead + static_cast<std::uint64_t>(std::max(waiting, 0));
}

void SwayIpcEvents::readAvailable() {
    char chunk[65536];
    for (;;) {
        ssize_t got = 0;
        {
            std::lock_guard lock(m_receiving);
            got = recv(m_client->fd(), chunk, sizeof chunk, 0);
            if (got > 0)
                m_bytesRead += static_cast<std::uint64_t>(got);
        }
        if (got == 0)
            return lose("sway closed its IPC socket");
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            return lose(std::string("cannot read sway's IPC socket: ") + std::strerror(errno));
        }
        try {
            m_reader.feed({chunk, static_cast<std::size_t>(got)});
        } catch (const I3IpcError& error) {
            return lose(error.what());
        }
    }
    // Handlers may do anything, including ending this object's life through onLost; read every
    // complete event first, then dispatch.
    std::vector<I3Event> events;
    try {
        while (std::optional<I3Event> event = m_reader.next())
            events.push_back(std::move(*event));
    } catch (const I3IpcError& error) {
        return lose(error.what());
    }
    for (const I3Event& event : events)
        dispatch(event);
}

void SwayIpcEvents::dispatch(const I3Event& event) {
    const auto found = m_handlers.find(event.type);
    if (found == m_handlers.end())
        return;
    const nlohmann::json payload = nlohmann::json::parse(event.payload, nullptr, false);
    if (payload.is_discarded()) {
        if (m_log)
            m_log->write("Halvo: sway sent a " + event.type + " event that is not JSON; skipped");
        return;
    }
    // A copy: a handler may add handlers.
    const std::vector<Handler> handlers = found->second;
    for (const Handler& handler : handlers)
        handler(payload);
}

void SwayIpcEvents::lose(const std::string& why) {
    if (m_lost)
        return;
    m_lost = true;
    m_error = why;
    m_notifier->setEnabled(false);
    if (m_log)
        m_log->write("Halvo: lost sway's IPC connection: " + why);
    const std::vector<std::function<void()>> handlers = m_lostHandlers;
    for (const auto& handler : handlers)
        handler();
}

} // namespace halvo
