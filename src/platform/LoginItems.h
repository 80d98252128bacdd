// Launching Halvo when the user logs in: the program's own login item.
#pragma once

#include <optional>
#include <string>

namespace halvo {

// The raw values are the stored and displayed order of the states.
enum class LoginItemStatus {
    notRegistered = 0,
    enabled = 1,
    requiresApproval = 2, // registered, waiting for the user to allow it
    notFound = 3,         // registered, but the program it names is gone
};

class LoginItems {
public:
    virtual ~LoginItems() = default;

    // Read anew on every call; nothing is cached.
    virtual LoginItemStatus status() = 0;

    // Each returns nothing on success, else a description of the failure that a user can read.
    virtual std::optional<std::string> registerItem() = 0;
    virtual std::optional<std::string> unregisterItem() = 0;
};

} // namespace halvo
