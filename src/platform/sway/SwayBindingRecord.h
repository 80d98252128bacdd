// The record of the bindings a run of Halvo made in one sway, kept so that the next run removes
// those a crash left behind. Its lines become sway commands, so the file is read as untrusted:
// only from a folder the user alone can enter, never through a link, never waiting on a FIFO,
// and only lines that are a combination of Halvo's are kept.
#pragma once

#include "platform/Log.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvo {

struct SwayBindingRecord {
    // The file is a socket path and a few combinations: anything longer is not Halvo's.
    static constexpr std::size_t maxSize = 4096;

    std::string socketPath;                // the sway the bindings were made in
    std::vector<std::string> combinations; // "Ctrl+Mod1+Left"

    // Whether `text` is one or more of sway's modifier names Halvo binds with (Ctrl, Mod1, Mod4,
    // Shift), each at most once, then one of the four arrows, joined by '+'.
    static bool isCombination(std::string_view text);
    // The socket on the first line, then one combination a line. Lines that are not a
    // combination are left out and listed in `rejected`; empty lines are skipped.
    static SwayBindingRecord parse(std::string_view text, std::vector<std::string>& rejected);

    // The record at `path`, or nothing. A missing file is no record; anything but a regular file
    // of this user, at most maxSize bytes, in a folder of this user with mode 0700, is ignored
    // with a log line, as are the lines that are not combinations.
    static std::optional<SwayBindingRecord> read(const std::string& path, Log& log);
    // Replaces the file at `path` by this record (never writing through a link) in a folder
    // that passes the same checks; false, logged, when that fails.
    bool write(const std::string& path, Log& log) const;
};

} // namespace halvo
