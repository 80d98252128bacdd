// The process-wide translation hook behind localized().
#include "platform/Localization.h"

#include <utility>

namespace halvo {
namespace {

Localizer& currentLocalizer() {
    static Localizer localizer;
    return localizer;
}

} // namespace

std::string localized(std::string_view key, std::string_view comment) {
    const Localizer& localizer = currentLocalizer();
    if (!localizer)
        return std::string(key);
    return localizer(key, comment);
}

std::string fillPlaceholders(std::string_view format,
                             std::initializer_list<std::string_view> arguments) {
    std::string result;
    result.reserve(format.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        const bool placeholder = format[i] == '%' && i + 1 < format.size() &&
                                 format[i + 1] >= '1' && format[i + 1] <= '9';
        const std::size_t index = placeholder ? static_cast<std::size_t>(format[i + 1] - '1') : 0;
        if (!placeholder || index >= arguments.size()) {
            result += format[i];
            continue;
        }
        result += *(arguments.begin() + index);
        ++i;
    }
    return result;
}

void setLocalizer(Localizer localizer) {
    currentLocalizer() = std::move(localizer);
}

} // namespace halvo
