// Which desktop session Halvo runs in, chosen from the environment it was started with.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace halvo {

class SessionChoice {
public:
    enum class Kind {
        sway,        // a sway session: its IPC socket and a Wayland display
        x11,         // an X11 session (or no display at all: the X11 program says what is missing)
        unsupported, // a Wayland session of another compositor
    };
    // The value of an environment variable; nothing when it is unset or empty.
    using Environment = std::function<std::optional<std::string>(const std::string& name)>;

    // SWAYSOCK and WAYLAND_DISPLAY: sway. WAYLAND_DISPLAY alone: another compositor, even with
    // DISPLAY set by XWayland (an X11 switcher there sees neither the keys nor the windows of
    // Wayland clients). Otherwise X11.
    static SessionChoice fromEnvironment(const Environment& environment);
    // The process's own environment.
    static SessionChoice fromProcessEnvironment();

    Kind kind() const { return m_kind; }
    // For an unsupported session: what to tell the user (without the "Halvo: " prefix).
    const std::string& refusal() const { return m_refusal; }

private:
    SessionChoice(Kind kind, std::string refusal);

    Kind m_kind;
    std::string m_refusal;
};

} // namespace halvo
