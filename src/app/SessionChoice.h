// Which desktop session Halvo runs in, chosen from the environment it was started with by a
// table of the sessions it supports: adding a session is its composition root and one row.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class Log;

class SessionChoice {
public:
    // The value of an environment variable; nothing when it is unset or empty.
    using Environment = std::function<std::optional<std::string>(const std::string& name)>;
    // What runs Halvo in one kind of session (its composition root); returns the exit status.
    using Program = int (*)(int& argc, char** argv, bool openPreferences, Log& log);

    // One row of the choice table.
    struct Session {
        std::string name; // as its users know it ("sway"); the refusal lists the Wayland ones
        // Whether the environment of a Wayland session is this session's; null for X11.
        bool (*recognises)(const Environment& environment) = nullptr;
        Program program = nullptr;
    };

    // With WAYLAND_DISPLAY set: the first Wayland session of `table` that recognises the
    // environment, else a refusal, even with DISPLAY set by XWayland (an X11 switcher there sees
    // neither the keys nor the windows of Wayland clients). Otherwise the table's X11 session
    // (whose program says what is missing when there is no display at all).
    static SessionChoice fromEnvironment(const Environment& environment,
                                         const std::vector<Session>& table);
    // The process's own environment.
    static SessionChoice fromProcessEnvironment(const std::vector<Session>& table);

    // sway's session: its IPC socket is named.
    static bool isSway(const Environment& environment);
    // KDE Plasma's: XDG_CURRENT_DESKTOP names KDE. Whether KWin is on the bus is the program's
    // question (it says so when it is not).
    static bool isKde(const Environment& environment);

    // The chosen session; nothing for a session the table does not support.
    const std::optional<Session>& session() const { return m_session; }
    // For an unsupported session: what to tell the user (without the "Halvo: " prefix).
    const std::string& refusal() const { return m_refusal; }

private:
    SessionChoice(std::optional<Session> session, std::string refusal);
    static std::string refusalFor(const Environment& environment,
                                  const std::vector<Session>& table);

    std::optional<Session> m_session;
    std::string m_refusal;
};

} // namespace halvo
