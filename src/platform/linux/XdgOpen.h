// Opening a URL the way the desktop does: handed to xdg-open, which picks the user's program.
#pragma once

#include <string>

namespace halvo {

class XdgOpen {
public:
    // Starts xdg-open for `url` without waiting for the program it opens; false when xdg-open
    // could not be started.
    static bool open(const std::string& url);
};

} // namespace halvo
