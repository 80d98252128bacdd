// Text of STRING properties.
#include "platform/x11/X11Property.h"

#include <glib.h>

namespace halvo {

std::string X11Property::text(std::string_view bytes) {
    if (bytes.empty())
        return {};
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        return std::string(bytes);
    // Latin-1 is the first 256 code points: one byte each, two in UTF-8 from 0x80 on.
    std::string utf8;
    utf8.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        if (byte < 0x80) {
            utf8.push_back(static_cast<char>(byte));
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

} // namespace halvo
