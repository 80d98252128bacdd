// The "change" member of an i3 IPC event ("new", "focus", "title"…), read without building the
// event's document: a client retitling its window a thousand times a second sends events that
// nobody needs parsed, and parsing them whole kept a loaded Halvo from reading its key events.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halvo {

struct I3EventChange {
    // The top-level "change" string of `payload`; nothing when it has none or is not JSON (a
    // nested "change", inside the container, does not count).
    static std::optional<std::string> of(std::string_view payload);
};

} // namespace halvo
