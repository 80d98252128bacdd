// Session detection from SWAYSOCK, WAYLAND_DISPLAY, DISPLAY and XDG_CURRENT_DESKTOP.
#include "app/SessionChoice.h"

#include <cstdlib>

namespace halvo {

SessionChoice::SessionChoice(Kind kind, std::string refusal)
    : m_kind(kind), m_refusal(std::move(refusal)) {}

SessionChoice SessionChoice::fromEnvironment(const Environment& environment) {
    if (!environment("WAYLAND_DISPLAY"))
        return {Kind::x11, {}};
    if (environment("SWAYSOCK"))
        return {Kind::sway, {}};
    // XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME"); its last entry names the
    // desktop users know.
    std::string desktop = environment("XDG_CURRENT_DESKTOP").value_or("");
    desktop = desktop.substr(desktop.rfind(':') + 1);
    const std::string session =
        desktop.empty() ? "This Wayland session" : "This Wayland session (" + desktop + ")";
    return {Kind::unsupported,
            session + " is not sway; Halvo supports sway on Wayland and any EWMH window manager "
                      "on X11. Log in to an X11 session or to sway."};
}

SessionChoice SessionChoice::fromProcessEnvironment() {
    return fromEnvironment([](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value || !*value)
            return std::nullopt;
        return std::string(value);
    });
}

} // namespace halvo
