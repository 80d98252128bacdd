// Reads `swaymsg -m -r -t subscribe` without blocking: its output is a sequence of JSON objects,
// split here at the brace that closes each one.
#include "support/SwaySubscription.h"

#include <algorithm>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace halvo::test {
namespace {

// The length of the first complete JSON object at the start of `text`, 0 while it is incomplete.
size_t firstObjectLength(const std::string& text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && --depth == 0) {
            return i + 1;
        }
    }
    return 0;
}

} // namespace

SwaySubscription::SwaySubscription(const SwaySession& session,
                                   const std::vector<std::string>& eventTypes)
    : m_session(session) {
    // Subscribing to ticks as well makes sway answer at once with a first tick: the sign that the
    // subscription stands.
    nlohmann::json types = eventTypes;
    types.push_back("tick");
    const std::string typeList = types.dump();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    const char* argv[] = {
        "swaymsg",        "-s",   session.swaySocket().c_str(), "-m", "-r", "-t", "subscribe",
        typeList.c_str(), nullptr};
    if (posix_spawnp(&m_process, "swaymsg", &actions, &attributes, const_cast<char**>(argv),
                     environ) != 0)
        m_process = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    m_output = fds[0];
    fcntl(m_output, F_SETFL, O_NONBLOCK);
    m_ok = m_process > 0 && SwaySession::waitUntil(
                                [&] {
                                    readAvailable();
                                    return !m_ticks.empty();
                                },
                                10);
}

SwaySubscription::~SwaySubscription() {
    if (m_process > 0) {
        ::kill(-m_process, SIGKILL);
        waitpid(m_process, nullptr, 0);
    }
    if (m_output >= 0)
        close(m_output);
}

const std::vector<nlohmann::json>& SwaySubscription::events() {
    readAvailable();
    return m_events;
}

void SwaySubscription::readAvailable() {
    char chunk[4096];
    ssize_t n;
    while ((n = read(m_output, chunk, sizeof chunk)) > 0)
        m_buffer.append(chunk, static_cast<size_t>(n));
    while (const size_t length = firstObjectLength(m_buffer)) {
        take(nlohmann::json::parse(m_buffer.substr(0, length), nullptr, false));
        m_buffer.erase(0, length);
    }
}

void SwaySubscription::take(const nlohmann::json& event) {
    if (!event.is_object())
        return;
    if (event.contains("first") && event.contains("payload")) {
        m_ticks.push_back(event.value("payload", ""));
        return;
    }
    m_events.push_back(event);
}

std::optional<nlohmann::json>
SwaySubscription::waitFor(const std::function<bool(const nlohmann::json&)>& pred, double seconds) {
    std::optional<nlohmann::json> found;
    SwaySession::waitUntil(
        [&] {
            readAvailable();
            for (const auto& event : m_events) {
                if (pred(event)) {
                    found = event;
                    return true;
                }
            }
            return false;
        },
        seconds);
    return found;
}

bool SwaySubscription::sync(double seconds) {
    const std::string payload = "halvo-sync-" + std::to_string(++m_sentTicks);
    if (m_session.query("send_tick", payload).is_null())
        return false;
    return SwaySession::waitUntil(
        [&] {
            readAvailable();
            return std::find(m_ticks.begin(), m_ticks.end(), payload) != m_ticks.end();
        },
        seconds);
}

} // namespace halvo::test
