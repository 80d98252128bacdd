// What the Preferences window tells the user about the two checks (window manager, keyboard
// access) and how to satisfy them, in the terms of the session Halvo runs in.
#pragma once

#include <string>

namespace halvo {

class PermissionHelp {
public:
    enum class Session { x11, sway };

    explicit PermissionHelp(Session session = Session::x11) : m_session(session) {}

    Session session() const { return m_session; }
    // Each text is translated when asked for.
    std::string windowManagerExplanation() const;
    std::string keyboardAccessExplanation() const;
    // The usage tip about what Halvo depends on.
    std::string permissionsTip() const;

private:
    Session m_session;
};

} // namespace halvo
