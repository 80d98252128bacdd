// XTEST key events with keycodes from the server's current keyboard map.
#include "support/XTestKeyboard.h"

#include <X11/keysym.h>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace halvo::test {
namespace {

xcb_keysym_t keysymFor(const std::string& name) {
    static const std::map<std::string, xcb_keysym_t> known = {{"Control_L", XK_Control_L},
                                                              {"Control_R", XK_Control_R},
                                                              {"Alt_L", XK_Alt_L},
                                                              {"Super_L", XK_Super_L},
                                                              {"Shift_L", XK_Shift_L},
                                                              {"Left", XK_Left},
                                                              {"Right", XK_Right},
                                                              {"Up", XK_Up},
                                                              {"Down", XK_Down},
                                                              {"Caps_Lock", XK_Caps_Lock},
                                                              {"Num_Lock", XK_Num_Lock},
                                                              {"Escape", XK_Escape},
                                                              {"Return", XK_Return},
                                                              {"a", XK_a},
                                                              {"Tab", XK_Tab},
                                                              {"space", XK_space}};
    const auto found = known.find(name);
    if (found == known.end())
        throw std::invalid_argument("unknown keysym " + name);
    return found->second;
}

} // namespace

XTestKeyboard::XTestKeyboard(const std::string& display)
    : m_connection(xcb_connect(display.c_str(), nullptr)) {}

XTestKeyboard::~XTestKeyboard() {
    xcb_disconnect(m_connection);
}

void XTestKeyboard::press(const std::string& keysymName) {
    send(keysymName, true);
}
void XTestKeyboard::release(const std::string& keysymName) {
    send(keysymName, false);
}
void XTestKeyboard::tap(const std::string& keysymName) {
    press(keysymName);
    release(keysymName);
}

void XTestKeyboard::send(const std::string& keysymName, bool down) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysymFor(keysymName));
    const xcb_keycode_t code = codes ? codes[0] : 0;
    free(codes);
    xcb_key_symbols_free(symbols);
    if (code == 0)
        throw std::runtime_error("no keycode for " + keysymName);
    xcb_test_fake_input(m_connection, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code,
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace halvo::test
