// What became of a request to register a shortcut.
#pragma once

namespace halvo {

enum class RegistrationResult {
    registered,
    takenByAnotherProgram, // another program holds the same combination
    // The desktop's own configuration binds the same combination (a binding in the user's sway
    // configuration): a change there, once the desktop reloads it, may free it.
    takenByConfiguration,
    failed, // anything else: no such key on this keyboard, a lost connection, ...
};

} // namespace halvo
