// Feeds arbitrary window-property values to the readers of what other clients set: the first
// byte picks the property and its format, the rest is the raw value as the server would return
// it. WM_CLASS splitting and decoding to UTF-8, 32-bit lists (_NET_FRAME_EXTENTS, WM_STATE,
// _NET_WM_STATE, size hints) and struts taken off a monitor.
#include "platform/x11/WindowStrut.h"
#include "platform/x11/X11Property.h"

#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <vector>

using halvo::Rect;
using halvo::WindowStrut;
using halvo::X11Property;

namespace {

void checkWmClass(std::uint8_t format, const std::uint8_t* data, int length) {
    const std::string wmClass =
        X11Property::wmClass(format, reinterpret_cast<const char*>(data), length);
    const std::string instance =
        X11Property::wmInstance(format, reinterpret_cast<const char*>(data), length);
    // Each byte becomes at most two in UTF-8.
    if (wmClass.size() + instance.size() > 2 * static_cast<std::size_t>(length) ||
        wmClass.find('\0') != std::string::npos || instance.find('\0') != std::string::npos)
        std::abort();
    for (const std::string& text : {wmClass, instance}) {
        if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
            std::abort();
    }
}

void checkValues(std::uint8_t format, const std::uint8_t* data, int length) {
    const auto values = X11Property::values32(format, data, length);
    if (format != 32 && !values.empty())
        std::abort();
    if (values.size() * 4 > static_cast<std::size_t>(length))
        std::abort();
}

// The first 64 bytes give the monitor and root sizes, the rest two property values: a partial
// strut and a plain one, split where the byte after the sizes says.
void checkStruts(const std::uint8_t* data, std::size_t size) {
    if (size < 9)
        return;
    const auto small = [&](std::size_t i) { return double(data[i] | (data[i + 1] << 8)); };
    const double rootWidth = small(0);
    const double rootHeight = small(2);
    const Rect monitor{small(4) - 1000, small(6) - 1000, double(data[8]) * 16, rootHeight / 2};
    const std::uint8_t* rest = data + 9;
    const std::size_t restSize = size - 9;
    std::vector<std::vector<std::uint32_t>> struts;
    for (std::size_t offset = 0; offset + 64 <= restSize; offset += 64) {
        const int split = rest[offset] % 64;
        const auto partial = X11Property::values32(32, rest + offset + 1, split);
        const auto plain = X11Property::values32(32, rest + offset + 1 + split, 63 - split);
        if (auto strut = WindowStrut::fromProperties(partial, plain)) {
            if (strut->size() != 12)
                std::abort();
            struts.push_back(std::move(*strut));
        }
    }
    const Rect visible = WindowStrut::visibleArea(monitor, struts, rootWidth, rootHeight);
    // What is left is always a part of the monitor.
    if (visible.minX() < monitor.minX() || visible.maxX() > monitor.maxX() ||
        visible.minY() < monitor.minY() || visible.maxY() > monitor.maxY())
        std::abort();
    if (!monitor.isEmpty() && visible.isEmpty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1)
        return 0;
    // A copy of exactly the given length, so reads past the end are caught.
    std::vector<std::uint8_t> value(bytes + 1, bytes + size);
    const int length = static_cast<int>(value.size());
    const std::uint8_t* data = value.empty() ? nullptr : value.data();
    const std::uint8_t format = (bytes[0] & 0x3) == 0 ? 8 : (bytes[0] & 0x3) == 1 ? 16 : 32;
    switch ((bytes[0] >> 2) % 3) {
    case 0:
        checkWmClass(format == 16 ? 8 : format, data, length);
        break;
    case 1:
        checkValues(format, data, length);
        break;
    default:
        checkStruts(data, value.size());
        break;
    }
    return 0;
}
