// sway's IPC events on the main thread: its own connection to the IPC socket, subscribed to the
// chosen event types, read whenever the socket has bytes (a QSocketNotifier, no polling) and
// handed, parsed, to the handlers registered for each type.
#pragma once

#include "platform/Log.h"
#include "platform/i3ipc/I3EventReader.h"
#include "platform/i3ipc/I3IpcClient.h"

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace halvo {

class SwayIpcEvents : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const nlohmann::json&)>;

    // Connects to `socketPath` and subscribes to `eventTypes` ("window", "workspace", "binding",
    // "shutdown", "tick"; "output" only from sway 1.8, 1.7 refuses it), returning once sway has
    // confirmed the subscription: nothing that happens afterwards is missed. When that fails, ok()
    // is false and error() says why. An event whose payload is not JSON is skipped (and logged when
    // `log` is given).
    SwayIpcEvents(const std::string& socketPath, const std::vector<std::string>& eventTypes,
                  Log* log = nullptr);
    ~SwayIpcEvents() override;

    bool ok() const { return m_client != nullptr && !m_lost; }
    std::string error() const { return m_error; }

    // Adds a handler for events of `type`; handlers run on the main thread, in the order added.
    void on(const std::string& type, Handler handler);
    // The same for the events of `type` whose "change" is one of `changes`. An event no handler
    // wants is not parsed at all, which matters for the title changes some clients send by the
    // thousand.
    void on(const std::string& type, std::set<std::string> changes, Handler handler);
    // Runs once when the connection closes or breaks (or sends what is not i3 IPC) and sway does
    // not take a new one: sway is gone.
    void onLost(std::function<void()> handler);
    // Runs after sway dropped the connection while still running and a new one took its place:
    // events in between were missed.
    void onReconnected(std::function<void()> handler);
    // How many bytes of events sway has sent so far: those read and those waiting on the socket.
    // Any new event, or a new connection (events may have been missed), makes it grow. Any
    // thread.
    std::uint64_t received() const;
    // Whether so much waits unread that the socket may be full: sway then keeps later events in
    // its own buffer, where received() cannot count them. Any thread.
    bool backlogged() const;
    // A few events' worth (sway's window events are one to three KiB); a full socket holds
    // several times more.
    static constexpr int backlogBytes = 16 * 1024;

private:
    bool subscribe();
    // The bytes waiting unread on the socket; m_receiving held.
    int waiting() const;
    bool reconnect(const std::string& why);
    void readAvailable();
    void dispatch(const I3Event& event);
    void lose(const std::string& why);

    Log* m_log;
    std::string m_socketPath;
    std::vector<std::string> m_eventTypes;
    std::unique_ptr<I3IpcClient> m_client;
    std::unique_ptr<QSocketNotifier> m_notifier;
    I3EventReader m_reader;
    struct Subscription {
        std::set<std::string> changes; // empty: every change
        Handler handler;
    };
    // The handlers of `type` that want an event with `payload`.
    std::vector<Handler> handlersFor(const std::string& type, std::string_view payload) const;

    std::map<std::string, std::vector<Subscription>> m_handlers;
    std::vector<std::function<void()>> m_lostHandlers;
    std::vector<std::function<void()>> m_reconnectedHandlers;
    std::string m_error;
    bool m_lost = false;
    mutable std::mutex m_receiving; // around each read of the socket and its count
    std::uint64_t m_bytesRead = 0;
};

} // namespace halvo
