// Session detection from WAYLAND_DISPLAY and what each row of the table recognises, and the
// refusal that names the Wayland sessions of the table.
#include "app/SessionChoice.h"

#include <algorithm>
#include <cstdlib>

namespace halvo {
namespace {

// "a", "a or b", "a, b or c" (with "and" for `last`).
std::string listed(const std::vector<std::string>& names, const std::string& last) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " " + last + " " : ", ";
        text += names[i];
    }
    return text;
}

} // namespace

SessionChoice::SessionChoice(std::optional<Session> session, std::string refusal)
    : m_session(std::move(session)), m_refusal(std::move(refusal)) {}

SessionChoice SessionChoice::fromEnvironment(const Environment& environment,
                                             const std::vector<Session>& table) {
    const bool wayland = environment("WAYLAND_DISPLAY").has_value();
    for (const Session& session : table) {
        if (wayland ? session.recognises && session.recognises(environment) : !session.recognises)
            return {session, {}};
    }
    return {std::nullopt, refusalFor(environment, table)};
}

bool SessionChoice::isSway(const Environment& environment) {
    return environment("SWAYSOCK").has_value();
}

bool SessionChoice::isKde(const Environment& environment) {
    const std::string desktops = environment("XDG_CURRENT_DESKTOP").value_or("");
    std::size_t start = 0;
    while (start <= desktops.size()) {
        const std::size_t end = std::min(desktops.find(':', start), desktops.size());
        if (desktops.compare(start, end - start, "KDE") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

std::string SessionChoice::refusalFor(const Environment& environment,
                                      const std::vector<Session>& table) {
    std::vector<std::string> wayland;
    for (const Session& session : table) {
        if (session.recognises)
            wayland.push_back(session.name);
    }
    // XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME"); its last entry names the
    // desktop users know.
    std::string desktop = environment("XDG_CURRENT_DESKTOP").value_or("");
    desktop = desktop.substr(desktop.rfind(':') + 1);
    const std::string session =
        desktop.empty() ? "This Wayland session" : "This Wayland session (" + desktop + ")";
    return session + " is not " + listed(wayland, "or") + "; Halvo supports " +
           listed(wayland, "and") +
           " on Wayland and any EWMH window manager on X11. Log in to an X11 session or to " +
           listed(wayland, "or") + ".";
}

SessionChoice SessionChoice::fromProcessEnvironment(const std::vector<Session>& table) {
    return fromEnvironment(
        [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            if (!value || !*value)
                return std::nullopt;
            return std::string(value);
        },
        table);
}

} // namespace halvo
