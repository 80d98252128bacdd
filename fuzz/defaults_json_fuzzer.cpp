// Feeds arbitrary text to the settings file's parse path: whatever it accepts must convert to
// values, and what it writes back must parse again to the same values.
#include "platform/linux/JsonFileUserDefaults.h"

#include <cstdlib>
#include <string_view>

using halvo::JsonFileUserDefaults;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const auto parsed = JsonFileUserDefaults::parse(text);
    if (!parsed)
        return 0;
    nlohmann::json rewritten = nlohmann::json::object();
    for (const auto& [key, value] : parsed->items())
        rewritten[key] = JsonFileUserDefaults::jsonFrom(JsonFileUserDefaults::valueFrom(value));
    const auto reread = JsonFileUserDefaults::parse(JsonFileUserDefaults::serialize(rewritten));
    if (!reread || reread->size() != rewritten.size())
        std::abort();
    for (const auto& [key, value] : rewritten.items()) {
        if (JsonFileUserDefaults::valueFrom(reread->at(key)) !=
            JsonFileUserDefaults::valueFrom(value))
            std::abort();
    }
    return 0;
}
