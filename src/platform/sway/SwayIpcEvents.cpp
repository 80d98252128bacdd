// Reading sway's IPC events on the main thread, see SwayIpcEvents.h.
#include "platform/sway/SwayIpcEvents.h"

#include "platform/i3ipc/I3EventChange.h"
#include "platform/i3ipc/I3IpcError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace halvo {

SwayIpcEvents::SwayIpcEvents(const std::string& socketPath,
                             const std::vector<std::string>& eventTypes, Log* log)
    : m_log(log), m_socketPath(socketPath), m_eventTypes(eventTypes) {
    subscribe();
}

SwayIpcEvents::~SwayIpcEvents() = default;

// A new connection and notifier in place of the old ones, which are closed (the notifier later:
// this may run in its own signal).
bool SwayIpcEvents::subscribe() {
    std::unique_ptr<I3IpcClient> client;
    try {
        client = std::make_unique<I3IpcClient>(m_socketPath, I3IpcClient::setupTimeout);
        client->subscribe(m_eventTypes);
    } catch (const I3IpcError& error) {
        m_error = error.what();
        return false;
    }
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    {
        std::lock_guard lock(m_receiving);
        m_client = std::move(client);
        m_reader = I3EventReader();
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_client->fd(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this,
                     [this] { readAvailable(); });
    return true;
}

// sway closes the connection of a subscriber that leaves 4 MiB of events unread, as a client
// retitling its window thousands of times a second makes it while the main thread is busy for a
// moment; it closes it the same way when it exits. A new connection tells the two apart.
bool SwayIpcEvents::reconnect(const std::string& why) {
    if (!subscribe())
        return false;
    {
        std::lock_guard lock(m_receiving);
        ++m_bytesRead; // the tree may have changed meanwhile
    }
    if (m_log)
        m_log->write("Halvo: sway's IPC connection ended (" + why +
                     "; sway drops a client that leaves too many events unread); connected again");
    const std::vector<std::function<void()>> handlers = m_reconnectedHandlers;
    for (const auto& handler : handlers)
        handler();
    return true;
}

void SwayIpcEvents::on(const std::string& type, Handler handler) {
    on(type, {}, std::move(handler));
}

void SwayIpcEvents::on(const std::string& type, std::set<std::string> changes, Handler handler) {
    m_handlers[type].push_back({std::move(changes), std::move(handler)});
}

void SwayIpcEvents::onLost(std::function<void()> handler) {
    m_lostHandlers.push_back(std::move(handler));
}

void SwayIpcEvents::onReconnected(std::function<void()> handler) {
    m_reconnectedHandlers.push_back(std::move(handler));
}

std::uint64_t SwayIpcEvents::received() const {
    std::lock_guard lock(m_receiving);
    return m_bytesRead + static_cast<std::uint64_t>(waiting());
}

bool SwayIpcEvents::backlogged() const {
    std::lock_guard lock(m_receiving);
    return waiting() >= backlogBytes;
}

int SwayIpcEvents::waiting() const {
    int bytes = 0;
    if (ok() && ioctl(m_client->fd(), FIONREAD, &bytes) != 0)
        bytes = 0;
    return std::max(bytes, 0);
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
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got <= 0) {
            const std::string why =
                got == 0 ? "sway closed its IPC socket"
                         : std::string("cannot read sway's IPC socket: ") + std::strerror(errno);
            if (!reconnect(why))
                lose(why);
            return;
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

std::vector<SwayIpcEvents::Handler> SwayIpcEvents::handlersFor(const std::string& type,
                                                               std::string_view payload) const {
    std::vector<Handler> wanted;
    const auto found = m_handlers.find(type);
    if (found == m_handlers.end())
        return wanted;
    std::optional<std::optional<std::string>> change; // read once, when a handler asks
    for (const Subscription& subscription : found->second) {
        if (!subscription.changes.empty()) {
            if (!change)
                change = I3EventChange::of(payload);
            if (!*change || !subscription.changes.count(**change))
                continue;
        }
        wanted.push_back(subscription.handler);
    }
    return wanted;
}

void SwayIpcEvents::dispatch(const I3Event& event) {
    // A copy: a handler may add handlers.
    const std::vector<Handler> handlers = handlersFor(event.type, event.payload);
    if (handlers.empty())
        return;
    const nlohmann::json payload = nlohmann::json::parse(event.payload, nullptr, false);
    if (payload.is_discarded()) {
        if (m_log)
            m_log->write("Halvo: sway sent a " + event.type + " event that is not JSON; skipped");
        return;
    }
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
