// Feeds arbitrary text to the settings file's parse path: whatever it accepts must convert to
// values, and what save() writes back (every key as read, unknown ones included) must parse again
// to the same contents.
#include "platform/linux/JsonFileUserDefaults.h"

#include <cstdlib>
#include <string_view>

using halvo::JsonFileUserDefaults;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const auto parsed = JsonFileUserDefaults::parse(text);
    if (!parsed)
        return 0;
    for (const auto& [key, value] : parsed->items()) // every value converts
        static_cast<void>(JsonFileUserDefaults::jsonFrom(JsonFileUserDefaults::valueFrom(value)));
    const auto reread = JsonFileUserDefaults::parse(JsonFileUserDefaults::serialize(*parsed));
    if (!reread || *reread != *parsed)
        std::abort();
    return 0;
}
