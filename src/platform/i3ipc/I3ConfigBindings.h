// The key bindings of an i3 or sway configuration, read from its text as the window manager reads
// it: `set $variable value` expanded in the lines after it, blocks (`mode "resize" { … }`,
// `bindsym { … }`), line continuations, `include` of further files, and the flags of bindsym and
// bindcode. The text is untrusted: a malformed line is skipped, and nothing grows without bound.
#pragma once

#include "platform/i3ipc/I3KeyBinding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvo {

class I3ConfigBindings {
public:
    struct IncludedFile {
        std::string path; // as the reader resolved it: the same path is included once
        std::string text;
    };
    // The files an `include` line names, in order: `pattern` after variable expansion, and the
    // path of the file the line is in (relative patterns count from its folder).
    using IncludeReader = std::function<std::vector<IncludedFile>(const std::string& pattern,
                                                                  const std::string& from)>;

    // A longer line, after variables are expanded, is skipped (`set $a $a$a` doubles at each
    // line).
    static constexpr std::size_t maxLineLength = 64 * 1024;
    static constexpr int maxIncludeDepth = 16;
    // Each file is read once; past this many, include lines are ignored.
    static constexpr std::size_t maxIncludedFiles = 64;
    static constexpr std::size_t maxBlockDepth = 32;

    // Every binding of every mode, in the order the configuration makes them; a later `unbindsym`
    // of the same combination removes one. `path` names the text's file for relative includes;
    // without a reader, include lines are ignored.
    static std::vector<I3KeyBinding> parse(std::string_view text, const std::string& path = {},
                                           const IncludeReader& reader = {});

    // Includes from the disk as sway does: the pattern is a shell word (~, $VARIABLE, globs;
    // never a command), relative to the including file's folder; each file is read once.
    static IncludeReader fileReader();

    // The modifier bit of a name (case-insensitive: "Ctrl", "control", "Alt", "Mod4", "Super",
    // "Logo"...), nothing for any other word.
    static std::optional<std::uint8_t> modifierBit(std::string_view name);

    // The normalised combination of "Mod4+Shift+Left": modifiers and sorted keys; nothing when it
    // names no key or is empty.
    struct Combination {
        std::uint8_t modifiers = 0;
        std::vector<std::string> keys;
    };
    static std::optional<Combination> combination(std::string_view text, I3KeyBinding::Kind kind);
};

} // namespace halvo
