// Exact key and pointer sequences on a Wayland compositor for scripts (the sway demo): one
// virtual keyboard and pointer for the life of the process, so that held modifiers stay held
// between commands. Reads one command a line from standard input and answers "ok" or "error: ..."
// once the compositor has processed it:
//   press KEYSYM | release KEYSYM | tap KEYSYM | sleep MILLISECONDS
//   move X Y | down | up | click              (pointer; X, Y in the output layout)
// Usage: halvo_sway_input WAYLAND_DISPLAY LAYOUT_WIDTH LAYOUT_HEIGHT
#include "support/sway/SwayVirtualKeyboard.h"
#include "support/sway/SwayVirtualPointer.h"

#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

using halvo::test::SwayVirtualKeyboard;
using halvo::test::SwayVirtualPointer;

bool run(const std::string& line, SwayVirtualKeyboard& keyboard, SwayVirtualPointer& pointer,
         std::string& error) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string key;
    if (command == "press" && in >> key)
        return keyboard.press(key) || (error = keyboard.error(), false);
    if (command == "release" && in >> key)
        return keyboard.release(key) || (error = keyboard.error(), false);
    if (command == "tap" && in >> key)
        return keyboard.tap(key) || (error = keyboard.error(), false);
    int a = 0;
    int b = 0;
    if (command == "sleep" && in >> a) {
        std::this_thread::sleep_for(std::chrono::milliseconds(a));
        return true;
    }
    if (command == "move" && in >> a >> b)
        return pointer.moveTo(a, b) || (error = pointer.error(), false);
    if (command == "down")
        return pointer.press() || (error = pointer.error(), false);
    if (command == "up")
        return pointer.release() || (error = pointer.error(), false);
    if (command == "click")
        return pointer.click() || (error = pointer.error(), false);
    error = "unknown command \"" + line + "\"";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: halvo_sway_input WAYLAND_DISPLAY LAYOUT_WIDTH LAYOUT_HEIGHT\n";
        return 2;
    }
    SwayVirtualKeyboard keyboard(argv[1]);
    SwayVirtualPointer pointer(argv[1], std::stoi(argv[2]), std::stoi(argv[3]));
    if (!keyboard.ok() || !pointer.ok()) {
        std::cerr << "halvo_sway_input: " << keyboard.error() << pointer.error() << "\n";
        return 1;
    }
    for (std::string line; std::getline(std::cin, line);) {
        if (line.empty())
            continue;
        std::string error;
        if (run(line, keyboard, pointer, error))
            std::cout << "ok" << std::endl;
        else
            std::cout << "error: " << error << std::endl;
    }
    return 0;
}
