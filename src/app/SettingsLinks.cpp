// Primary-then-fallback opening of the permission help.
#include "app/SettingsLinks.h"

#include <cctype>
#include <utility>

namespace halvo {

SettingsLinks::SettingsLinks(std::string helpPage) : m_helpPage(std::move(helpPage)) {}

std::string SettingsLinks::fileURL(const std::string& fragment) const {
    if (m_helpPage.empty() || m_helpPage.front() != '/')
        return {};
    std::string url = "file://";
    for (const char c : m_helpPage) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += c;
            continue;
        }
        static constexpr char hex[] = "0123456789ABCDEF";
        url += '%';
        url += hex[u >> 4];
        url += hex[u & 15];
    }
    return url + "#" + fragment;
}

SettingsLinks::Pane SettingsLinks::windowManagerPane() const {
    return {fileURL("window-manager"), "https://specifications.freedesktop.org/"};
}

SettingsLinks::Pane SettingsLinks::keyboardAccessPane() const {
    return {fileURL("keyboard-access"),
            "https://www.x.org/releases/current/doc/inputproto/XI2proto.txt"};
}

bool SettingsLinks::isURL(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    if (!std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

void SettingsLinks::openSettingsPane(const std::string& primary, const std::string& fallback,
                                     const Opener& opener) {
    if (!opener)
        return;
    if (isURL(primary) && opener(primary))
        return;
    if (isURL(fallback))
        opener(fallback);
}

} // namespace halvo
