// i3 command building, see I3Command.h.
#include "platform/i3ipc/I3Command.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace halvo {

std::string I3Command::moveToOutput(std::int64_t conId, const I3Output& target) {
    const std::string select = "[con_id=" + std::to_string(conId) + "] ";
    if (outputKeyword(target.name) && !target.currentWorkspace.empty())
        return select + "move container to workspace " + quoted(target.currentWorkspace);
    return select + "move container to output " + quoted(target.name);
}

std::string I3Command::quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    return result + '"';
}

bool I3Command::outputKeyword(std::string_view name) {
    static constexpr std::array<std::string_view, 8> keywords{
        "current", "left", "right", "up", "down", "primary", "nonprimary", "next"};
    return std::any_of(keywords.begin(), keywords.end(), [&](std::string_view keyword) {
        return std::equal(
            name.begin(), name.end(), keyword.begin(), keyword.end(),
            [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    });
}

} // namespace halvo
