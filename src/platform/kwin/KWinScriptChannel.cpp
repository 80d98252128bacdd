// The long poll and the reports; see KWinScriptChannel.h.
#include "platform/kwin/KWinScriptChannel.h"

#include "platform/kwin/KWinScriptText.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QTimer>

namespace halvo {

KWinScriptChannel::KWinScriptChannel(QDBusConnection bus, QString kwinOwner)
    : m_bus(std::move(bus)), m_kwinOwner(std::move(kwinOwner)),
      m_onReport(std::make_shared<std::function<void()>>()) {
    m_thread.setObjectName(QStringLiteral("KWin script channel"));
    m_thread.start();
    moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_expiry = new QTimer(this);
            m_expiry->callOnTimeout([this] { expirePoll(); });
            m_expiry->start(1000);
        },
        Qt::BlockingQueuedConnection);
    m_registered = m_bus.registerObject(QString::fromLatin1(KWinScriptText::objectPath), this,
                                        QDBusConnection::ExportAllSlots);
}

KWinScriptChannel::~KWinScriptChannel() {
    m_bus.unregisterObject(QString::fromLatin1(KWinScriptText::objectPath));
    QThread* mainThread = QCoreApplication::instance() ? QCoreApplication::instance()->thread()
                                                       : QThread::currentThread();
    QMetaObject::invokeMethod(
        this,
        [this, mainThread] {
            delete m_expiry;
            moveToThread(mainThread);
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    // The script's loop ends with its next call, which now finds no object.
    std::lock_guard lock(m_mutex);
    if (m_pendingPoll)
        answerPoll({});
}

bool KWinScriptChannel::fromKWin() {
    if (message().service() == m_kwinOwner)
        return true;
    sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Only KWin may call Halvo's script"));
    return false;
}

QString KWinScriptChannel::poll(const QString& result) {
    if (!fromKWin())
        return {};
    std::unique_lock lock(m_mutex);
    if (!result.isEmpty())
        keepResult(result.toStdString());
    if (!m_commands.empty()) {
        const QString command = m_commands.front();
        m_commands.pop_front();
        return command;
    }
    setDelayedReply(true);
    m_pendingPoll = message();
    m_pollSince = std::chrono::steady_clock::now();
    return {};
}

void KWinScriptChannel::keepResult(const std::string& text) {
    const nlohmann::json answer = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!answer.is_object() || !answer.contains("id") || !answer.contains("result") ||
        !answer.contains("state"))
        return;
    const nlohmann::json& id = answer["id"];
    const nlohmann::json& outcome = answer["result"];
    std::optional<KWinState> state = KWinState::parse(answer["state"].dump());
    if (!id.is_number_unsigned() || !outcome.is_string() || !state)
        return;
    m_state = *state;
    // Only a result someone still waits for is kept.
    if (m_waiting.count(id.get<std::uint64_t>()))
        m_results[id.get<std::uint64_t>()] = {outcome.get<std::string>(), std::move(*state)};
    m_changed.notify_all();
}

void KWinScriptChannel::report(const QString& text) {
    if (!fromKWin())
        return;
    std::optional<KWinState> state = KWinState::parse(text.toStdString());
    if (!state)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_state = std::move(*state);
        m_changed.notify_all();
    }
    std::weak_ptr<std::function<void()>> handler = m_onReport;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [handler] {
        if (auto h = handler.lock(); h && *h)
            (*h)();
    });
}

void KWinScriptChannel::answerPoll(const QString& command) {
    m_bus.send(m_pendingPoll->createReply(command));
    m_pendingPoll.reset();
}

void KWinScriptChannel::expirePoll() {
    std::lock_guard lock(m_mutex);
    if (m_pendingPoll && std::chrono::steady_clock::now() - m_pollSince >= pollTimeout)
        answerPoll({});
}

std::optional<KWinScriptChannel::Result>
KWinScriptChannel::send(nlohmann::json command, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t id = m_nextCommand++;
    command["id"] = id;
    m_waiting.insert(id);
    const QString text = QString::fromStdString(command.dump());
    if (m_pendingPoll)
        answerPoll(text);
    else
        m_commands.push_back(text);
    const bool answered =
        m_changed.wait_for(lock, timeout, [&] { return m_results.count(id) > 0; });
    m_waiting.erase(id);
    if (!answered) {
        // A command the script has not taken yet is dropped: its caller has gone on without it.
        std::erase(m_commands, text);
        return std::nullopt;
    }
    Result result = std::move(m_results.at(id));
    m_results.erase(id);
    return result;
}

std::optional<KWinState> KWinScriptChannel::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool KWinScriptChannel::waitForScript(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_state.has_value(); });
}

void KWinScriptChannel::onReport(std::function<void()> handler) {
    *m_onReport = std::move(handler);
}

} // namespace halvo
