// Real key events through XTEST, in exactly the order a test gives them.
#pragma once

#include <string>
#include <xcb/xcb.h>

namespace halvo::test {

class XTestKeyboard {
public:
    explicit XTestKeyboard(const std::string& display);
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    // Keysym names as X knows them: "Control_L", "Alt_L", "Super_L", "Shift_L", "Left", "Right",
    // "Up", "Down", "Caps_Lock", "Num_Lock", "a". Each call is flushed and synchronised with the
    // server before it returns.
    void press(const std::string& keysymName);
    void release(const std::string& keysymName);
    void tap(const std::string& keysymName);

    xcb_connection_t* connection() const { return m_connection; }

private:
    void send(const std::string& keysymName, bool down);

    xcb_connection_t* m_connection = nullptr;
};

} // namespace halvo::test
