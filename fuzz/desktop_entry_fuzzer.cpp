// Feeds arbitrary text as a desktop file to the reader of installed applications: what it takes
// for an application must come out with a valid UTF-8 name and icon.
#include "platform/linux/DesktopEntryIndex.h"

#include <cstdlib>
#include <glib.h>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    std::string startupWMClass;
    const auto entry =
        halvo::DesktopEntryIndex::entryFromData(text, "fuzzed.desktop", &startupWMClass);
    if (!entry)
        return 0;
    if (entry->id != "fuzzed.desktop")
        std::abort();
    if (!g_utf8_validate(entry->name.data(), static_cast<gssize>(entry->name.size()), nullptr) ||
        !g_utf8_validate(entry->iconName.data(), static_cast<gssize>(entry->iconName.size()),
                         nullptr))
        std::abort();
    return 0;
}
