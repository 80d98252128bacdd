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

void setLocalizer(Localizer localizer) {
    currentLocalizer() = std::move(localizer);
}

} // namespace halvo
