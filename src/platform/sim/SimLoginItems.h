// A login item whose status and failures tests set; register and unregister are recorded.
#pragma once

#include "platform/LoginItems.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvo {

class SimLoginItems final : public LoginItems {
public:
    LoginItemStatus status() override {
        ++m_statusReads;
        return m_status;
    }
    std::optional<std::string> registerItem() override {
        m_calls.emplace_back("register");
        if (m_failure)
            return m_failure;
        m_status = m_statusAfterRegister;
        return std::nullopt;
    }
    std::optional<std::string> unregisterItem() override {
        m_calls.emplace_back("unregister");
        if (m_failure)
            return m_failure;
        m_status = LoginItemStatus::notRegistered;
        return std::nullopt;
    }

    // Test controls.
    void setStatus(LoginItemStatus status) { m_status = status; }
    // What a successful registration leads to (enabled, or waiting for approval).
    void setStatusAfterRegister(LoginItemStatus status) { m_statusAfterRegister = status; }
    // Every later register and unregister fails with this description (none: they succeed).
    void setFailure(std::optional<std::string> failure) { m_failure = std::move(failure); }
    const std::vector<std::string>& calls() const { return m_calls; }
    int statusReads() const { return m_statusReads; }

private:
    LoginItemStatus m_status = LoginItemStatus::notRegistered;
    LoginItemStatus m_statusAfterRegister = LoginItemStatus::enabled;
    std::optional<std::string> m_failure;
    std::vector<std::string> m_calls;
    int m_statusReads = 0;
};

} // namespace halvo
