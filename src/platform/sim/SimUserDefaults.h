// In-memory user defaults that remember every write, for tests.
#pragma once

#include "platform/UserDefaults.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace halvo {

class SimUserDefaults final : public UserDefaults {
public:
    std::optional<DefaultsValue> objectForKey(const std::string& key) const override {
        const auto found = m_values.find(key);
        if (found == m_values.end())
            return std::nullopt;
        return found->second;
    }

    void setObject(const std::string& key, DefaultsValue value) override {
        m_writes.emplace_back(key, value);
        m_values[key] = std::move(value);
    }

    // Test controls: values put in place without counting as writes by the program.
    void preset(const std::string& key, DefaultsValue value) { m_values[key] = std::move(value); }
    const std::vector<std::pair<std::string, DefaultsValue>>& writes() const { return m_writes; }
    std::size_t writeCount(const std::string& key) const {
        std::size_t count = 0;
        for (const auto& write : m_writes)
            count += write.first == key ? 1 : 0;
        return count;
    }

private:
    std::map<std::string, DefaultsValue> m_values;
    std::vector<std::pair<std::string, DefaultsValue>> m_writes;
};

} // namespace halvo
