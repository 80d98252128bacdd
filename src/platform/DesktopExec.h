// The Exec key of desktop entries: quoting a program path so that launchers run exactly that file,
// and reading the program back out of an Exec value.
#pragma once

#include <optional>
#include <string>

namespace halvo {

class DesktopExec {
public:
    // The Exec value that runs `program` with no arguments: quoted when it holds a reserved
    // character, with the string-value escapes applied and "%" doubled.
    static std::string quote(const std::string& program);

    // The program named by an Exec value (its first argument, unquoted and unescaped); nothing
    // when the value is empty or its quoting is broken.
    static std::optional<std::string> program(const std::string& exec);
};

} // namespace halvo
