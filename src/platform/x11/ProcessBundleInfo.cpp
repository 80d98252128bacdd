// Build-time identity and getenv.
#include "platform/x11/ProcessBundleInfo.h"

#include <cstdlib>
#include <utility>

namespace halvo {

ProcessBundleInfo::ProcessBundleInfo(std::string identifier, std::string shortVersion,
                                     std::string build)
    : m_identifier(std::move(identifier)), m_shortVersion(std::move(shortVersion)),
      m_build(std::move(build)) {}

std::optional<InfoValue> ProcessBundleInfo::infoValue(const std::string& key) const {
    if (key == "CFBundleIdentifier")
        return m_identifier;
    if (key == "CFBundleShortVersionString" && !m_shortVersion.empty())
        return m_shortVersion;
    if (key == "CFBundleVersion" && !m_build.empty())
        return m_build;
    return std::nullopt;
}

std::optional<std::string> ProcessBundleInfo::environment(const std::string& name) const {
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

} // namespace halvo
