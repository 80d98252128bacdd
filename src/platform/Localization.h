// Every user-visible text goes through localized(); the program wires it to its translations.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace halvo {

using Localizer = std::function<std::string(std::string_view key, std::string_view comment)>;

// The English text is the key and is returned when no translation exists. The comment tells
// translators where the text appears.
std::string localized(std::string_view key, std::string_view comment);

// Installs the translation lookup; an empty localizer restores the identity lookup.
void setLocalizer(Localizer localizer);

} // namespace halvo
