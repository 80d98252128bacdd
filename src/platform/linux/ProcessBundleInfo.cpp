// Build-time identity and getenv.
#include "platform/linux/ProcessBundleInfo.h"

#include <cstdlib>
#include <utility>

namespace halvo {

ProcessBundleInfo::ProcessBundleInfo(std::string identifier, std::string shortVersion,
                                     std::string build)
    : m_identifier(std::move(identifier)), m_shortVersion(std::move(shortVersion)),
      m_build(std::move(build)) {}

std::optional<std::string> ProcessBundleInfo::version() const {
    if (m_shortVersion.empty())
        return std::nullopt;
    return m_shortVersion;
}

std::optional<std::string> ProcessBundleInfo::build() const {
    if (m_build.empty())
        return std::nullopt;
    return m_build;
}

std::optional<std::string> ProcessBundleInfo::environment(const std::string& name) const {
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

} // namespace halvo
