// Every user-visible text goes through localized(); the program wires it to its translations.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace halvo {

using Localizer = std::function<std::string(std::string_view key, std::string_view comment)>;

// The English text is the key and is returned when no translation exists. The comment tells
// translators where the text appears.
std::string localized(std::string_view key, std::string_view comment);

// Replaces the Qt-style placeholders %1 to %9 of a (translated) text by the arguments, in one pass:
// a translation may reorder them, and an argument's own "%2" is kept as it is. A placeholder
// without an argument stays; "%%" is not special.
std::string fillPlaceholders(std::string_view format,
                             std::initializer_list<std::string_view> arguments);

// Installs the translation lookup; an empty localizer restores the identity lookup.
void setLocalizer(Localizer localizer);

} // namespace halvo
