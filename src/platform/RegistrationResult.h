// What became of a request to register a shortcut.
#pragma once

namespace halvo {

enum class RegistrationResult {
    registered,
    takenByAnotherProgram, // another program holds the same combination
    failed,                // anything else: no such key on this keyboard, a lost connection, ...
};

} // namespace halvo
