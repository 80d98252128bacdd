// The X bell as the alert sound.
#pragma once

#include "platform/SystemSound.h"
#include "platform/x11/X11Connection.h"

namespace halvo {

class X11SystemSound final : public SystemSound {
public:
    explicit X11SystemSound(X11Connection& connection) : m_connection(connection) {}

    void beep() override {
        xcb_bell(m_connection.xcb(), 0);
        m_connection.flush();
    }

private:
    X11Connection& m_connection;
};

} // namespace halvo
