// The D-Bus service the KWin script calls: its reports of the windows, and the long poll through
// which Halvo's commands reach it. The service runs on a thread of its own, so that a caller on
// any thread, the main one included, may wait for a command's result while the script's calls
// are answered. Only KWin's own connection is heard; anyone else is refused.
#pragma once

#include "platform/kwin/KWinState.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

class QTimer;

namespace halvo {

class KWinScriptChannel final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.halvo.KWinScript")
public:
    // A poll is answered with no command after this long: KWin gives up on a call after 25 s.
    static constexpr std::chrono::seconds pollTimeout{15};
    // The script's answer to one command, and the state it saw right after it.
    struct Result {
        std::string outcome; // "ok", "gone" (no such window), "refused", "unsupported", "failed"
        KWinState state;
    };

    // Main thread. Serves on `bus` at KWinScriptText::objectPath, hearing only `kwinOwner` (the
    // unique name owning org.kde.KWin). ok() says whether the object could be registered.
    KWinScriptChannel(QDBusConnection bus, QString kwinOwner);
    ~KWinScriptChannel() override;
    bool ok() const { return m_registered; }

    // Hands `command` (an object with "op" and its arguments) to the script and waits up to
    // `timeout` for its result; nothing when none came. Any thread.
    std::optional<Result> send(nlohmann::json command, std::chrono::milliseconds timeout);
    // The last state the script reported or answered with; nothing before the first. Any thread.
    std::optional<KWinState> state() const;
    // Waits up to `timeout` for the script's first report.
    bool waitForScript(std::chrono::milliseconds timeout) const;
    // Runs on the main thread after each report; null stops it. Main thread.
    void onReport(std::function<void()> handler);

public Q_SLOTS:
    // Called by the script: `result` answers the previous command (empty for none); the reply
    // is the next command, sent when there is one.
    QString poll(const QString& result);
    // Called by the script when windows come, go, change state or are activated.
    void report(const QString& state);

private:
    bool fromKWin();
    void keepResult(const std::string& text); // with m_mutex held
    void answerPoll(const QString& command);  // with m_mutex held
    void expirePoll();

    QDBusConnection m_bus;
    QString m_kwinOwner;
    bool m_registered = false;
    QThread m_thread;
    QTimer* m_expiry = nullptr; // lives on m_thread

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::optional<KWinState> m_state;
    std::optional<QDBusMessage> m_pendingPoll;
    std::chrono::steady_clock::time_point m_pollSince;
    std::deque<QString> m_commands;
    std::set<std::uint64_t> m_waiting;
    std::map<std::uint64_t, Result> m_results;
    std::uint64_t m_nextCommand = 1;
    std::shared_ptr<std::function<void()>> m_onReport;
};

} // namespace halvo
