// Real key events through XTEST, in exactly the order a test gives them.
#pragma once

#include <map>
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

    // For timing probes: queues a key event without sending it; flush() sends everything queued,
    // sync() also waits until the server has processed it.
    void queue(const std::string& keysymName, bool down);
    void flush();
    void sync();

    xcb_connection_t* connection() const { return m_connection; }

private:
    void send(const std::string& keysymName, bool down);
    xcb_keycode_t keycode(const std::string& keysymName);

    xcb_connection_t* m_connection = nullptr;
    // Keycodes looked up so far; the tests never change the keyboard map.
    std::map<std::string, xcb_keycode_t> m_keycodes;
};

} // namespace halvo::test
