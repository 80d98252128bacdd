// The user's settings as a key-value store, keys beginning "halvo.".
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace halvo {

// A stored value. `std::monostate` stands for a value of a kind the store cannot represent here
// (a nested object, a mixed array): present, but of no type the program reads.
using DefaultsValue =
    std::variant<std::monostate, std::string, double, bool, std::vector<std::string>>;

class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    // The value stored under key, or nothing when the key is absent.
    virtual std::optional<DefaultsValue> objectForKey(const std::string& key) const = 0;

    // Replaces the value under key. Failures to persist are the store's to report; the value is
    // kept in memory either way.
    virtual void setObject(const std::string& key, DefaultsValue value) = 0;

    // The string under key; nothing when absent or not a string.
    std::optional<std::string> stringForKey(const std::string& key) const {
        const auto value = objectForKey(key);
        if (!value || !std::holds_alternative<std::string>(*value))
            return std::nullopt;
        return std::get<std::string>(*value);
    }

    // The array of strings under key; nothing when absent or not an array of strings.
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const {
        const auto value = objectForKey(key);
        if (!value || !std::holds_alternative<std::vector<std::string>>(*value))
            return std::nullopt;
        return std::get<std::vector<std::string>>(*value);
    }
};

} // namespace halvo
