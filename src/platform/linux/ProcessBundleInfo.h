// This program's identity as the build made it, and the real process environment.
#pragma once

#include "platform/BundleInfo.h"

#include <string>

namespace halvo {

class ProcessBundleInfo final : public BundleInfo {
public:
    // `identifier` is the WM_CLASS class of Halvo's own windows; version and build come from the
    // build configuration; empty strings stand for unknown.
    ProcessBundleInfo(std::string identifier, std::string shortVersion, std::string build);

    std::string bundleIdentifier() const override { return m_identifier; }
    std::optional<std::string> version() const override;
    std::optional<std::string> build() const override;
    std::optional<std::string> environment(const std::string& name) const override;

private:
    std::string m_identifier;
    std::string m_shortVersion;
    std::string m_build;
};

} // namespace halvo
