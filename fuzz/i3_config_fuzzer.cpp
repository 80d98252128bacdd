// Feeds arbitrary text to the reader of i3/sway configuration bindings; every include line reads
// the same text again, as one of eight files picked by the pattern (as patterns on a disk name a
// few files, each read once). Each binding must name at least one key, in order, with a command
// no longer than a line may be; any crash, hang or runaway growth is a bug.
#include "platform/i3ipc/I3ConfigBindings.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

using halvo::I3ConfigBindings;
using halvo::I3KeyBinding;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    const I3ConfigBindings::IncludeReader reader = [&](const std::string& pattern,
                                                       const std::string&) {
        const std::string file = "f" + std::to_string(std::hash<std::string>()(pattern) % 8);
        return std::vector<I3ConfigBindings::IncludedFile>{{file, text}};
    };
    for (const I3KeyBinding& binding : I3ConfigBindings::parse(text, "main", reader)) {
        if (binding.keys.empty() || !std::is_sorted(binding.keys.begin(), binding.keys.end()) ||
            binding.mode.empty() || binding.command.empty() ||
            binding.command.size() > I3ConfigBindings::maxLineLength)
            std::abort();
    }
    return 0;
}
