// Bundle information and environment that tests fill in.
#pragma once

#include "platform/BundleInfo.h"

#include <map>
#include <string>
#include <utility>

namespace halvo {

class SimBundleInfo final : public BundleInfo {
public:
    std::string bundleIdentifier() const override { return m_identifier; }
    std::optional<InfoValue> infoValue(const std::string& key) const override {
        const auto found = m_info.find(key);
        if (found == m_info.end())
            return std::nullopt;
        return found->second;
    }
    std::optional<std::string> environment(const std::string& name) const override {
        const auto found = m_environment.find(name);
        if (found == m_environment.end())
            return std::nullopt;
        return found->second;
    }

    // Test controls.
    void setBundleIdentifier(std::string identifier) { m_identifier = std::move(identifier); }
    void setInfoValue(const std::string& key, InfoValue value) { m_info[key] = std::move(value); }
    void setEnvironment(const std::string& name, std::string value) {
        m_environment[name] = std::move(value);
    }

private:
    std::string m_identifier = "Halvo";
    std::map<std::string, InfoValue> m_info;
    std::map<std::string, std::string> m_environment;
};

} // namespace halvo
