// Desktop-entry Exec quoting: the argument rules first, the string-value escapes on top.
#include "platform/DesktopExec.h"

#include <string_view>

namespace halvo {
namespace {

constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";

// Inside double quotes these four are preceded by a backslash.
bool needsBackslashInQuotes(char c) {
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

// The string-value escapes of the desktop-entry format.
std::string escapeValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeValue(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += next;
        }
    }
    return out;
}

} // namespace

std::string DesktopExec::quote(const std::string& program) {
    std::string argument;
    if (program.find_first_of(reserved) == std::string::npos) {
        argument = program;
    } else {
        argument = "\"";
        for (const char c : program) {
            if (needsBackslashInQuotes(c))
                argument += '\\';
            argument += c;
        }
        argument += '"';
    }
    std::string withPercent;
    for (const char c : argument) {
        withPercent += c;
        if (c == '%')
            withPercent += '%';
    }
    return escapeValue(withPercent);
}

std::optional<std::string> DesktopExec::program(const std::string& exec) {
    const std::string value = unescapeValue(exec);
    std::size_t i = value.find_first_not_of(" \t");
    if (i == std::string::npos)
        return std::nullopt;
    std::string argument;
    if (value[i] == '"') {
        for (++i; i < value.size() && value[i] != '"'; ++i) {
            if (value[i] == '\\' && i + 1 < value.size() && needsBackslashInQuotes(value[i + 1]))
                ++i;
            argument += value[i];
        }
        if (i == value.size())
            return std::nullopt; // no closing quote
    } else {
        for (; i < value.size() && value[i] != ' ' && value[i] != '\t'; ++i)
            argument += value[i];
    }
    std::string program;
    for (std::size_t k = 0; k < argument.size(); ++k) {
        program += argument[k];
        if (argument[k] == '%' && k + 1 < argument.size() && argument[k + 1] == '%')
            ++k;
    }
    if (program.empty())
        return std::nullopt;
    return program;
}

} // namespace halvo
