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
    std::optional<std::string> version() const override { return m_version; }
    std::optional<std::string> build() const override { return m_build; }
    std::optional<std::string> environment(const std::string& name) const override {
        const auto found = m_environment.find(name);
        if (found == m_environment.end())
            return std::nullopt;
        return found->second;
    }

    // Test controls.
    void setBundleIdentifier(std::string identifier) { m_identifier = std::move(identifier); }
    void setVersion(std::string version) { m_version = std::move(version); }
    void setBuild(std::string build) { m_build = std::move(build); }
    void setEnvironment(const std::string& name, std::string value) {
        m_environment[name] = std::move(value);
    }

private:
    std::string m_identifier = "Halvo";
    std::optional<std::string> m_version;
    std::optional<std::string> m_build;
    std::map<std::string, std::string> m_environment;
};

} // namespace halvo
