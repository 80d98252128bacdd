// What the Preferences window tells the user about the two checks (window manager, keyboard
// access) and how to satisfy them, and the usage tips that differ between sessions, in the terms
// of the session Halvo runs in.
#pragma once

#include <string>

namespace halvo {

class PermissionHelp {
public:
    enum class Session { x11, sway, gnome, kde };

    explicit PermissionHelp(Session session = Session::x11) : m_session(session) {}

    Session session() const { return m_session; }
    // Each text is translated when asked for.
    std::string windowManagerExplanation() const;
    std::string keyboardAccessExplanation() const;
    // The usage tip about what Halvo depends on.
    std::string permissionsTip() const;
    // The usage tip about showing the minimap: sway reports the combination only with a key.
    std::string showingTip() const;

private:
    Session m_session;
};

} // namespace halvo
