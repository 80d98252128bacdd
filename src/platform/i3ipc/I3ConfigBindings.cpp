// Reads key bindings from i3/sway configuration text, line by line as the window manager does.
#include "platform/i3ipc/I3ConfigBindings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <wordexp.h>

namespace halvo {
namespace {

// A file larger than this is no configuration.
constexpr std::uintmax_t maxFileSize = 4 << 20;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lowered(a) == lowered(b);
}

// The next argument of `rest`, with its quotes removed (a backslash escapes the next character
// inside double quotes); `rest` keeps what follows it.
std::string nextWord(std::string_view& rest) {
    rest = trimmed(rest);
    std::string word;
    char quote = 0;
    std::size_t i = 0;
    for (; i < rest.size(); ++i) {
        const char c = rest[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < rest.size())
                word += rest[++i];
            else
                word += c;
            continue;
        }
        if (isSpace(c))
            break;
        if (c == '"' || c == '\'')
            quote = c;
        else
            word += c;
    }
    rest.remove_prefix(i);
    rest = trimmed(rest);
    return word;
}

// The keysyms sway may be given as numbers: the arrows read as their names.
std::string keysymName(std::string_view name) {
    std::string key = lowered(name);
    if (key.size() > 2 && key[0] == '0' && key[1] == 'x') {
        char* end = nullptr;
        const unsigned long value = std::strtoul(key.c_str() + 2, &end, 16);
        if (end && *end == '\0') {
            static constexpr std::array<const char*, 4> arrows = {"left", "up", "right", "down"};
            if (value >= 0xff51 && value <= 0xff54)
                return arrows[value - 0xff51];
        }
    }
    return key;
}

std::optional<std::string> keycode(std::string_view text) {
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return std::nullopt;
    return std::to_string(std::strtoul(std::string(text).c_str(), nullptr, 10));
}

class Parser {
public:
    explicit Parser(const I3ConfigBindings::IncludeReader& reader) : m_reader(reader) {}

    void parseText(std::string_view text, const std::string& path, int depth);
    std::vector<I3KeyBinding> take() { return std::move(m_bindings); }

private:
    std::vector<std::string> logicalLines(std::string_view text) const;
    void run(std::string_view line, const std::string& path, int depth, const std::string* mode);
    void set(std::string_view rest);
    std::string expanded(std::string_view text) const;
    void include(std::string_view rest, const std::string& path, int depth);
    void bind(std::string_view rest, I3KeyBinding::Kind kind, const std::string* mode, bool add);

    const I3ConfigBindings::IncludeReader& m_reader;
    // Longest name first: `$mod` must not match the start of `$modifier`.
    std::vector<std::pair<std::string, std::string>> m_variables;
    std::set<std::string> m_included;
    std::vector<I3KeyBinding> m_bindings;
};

std::vector<std::string> Parser::logicalLines(std::string_view text) const {
    std::vector<std::string> lines;
    std::string pending;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const bool continued = !line.empty() && line.back() == '\\';
        if (continued)
            line.remove_suffix(1);
        if (pending.size() + line.size() <= I3ConfigBindings::maxLineLength)
            pending += line;
        if (continued && !text.empty())
            continue;
        const std::string_view logical = trimmed(pending);
        if (!logical.empty() && logical.front() != '#')
            lines.emplace_back(logical);
        pending.clear();
    }
    return lines;
}

void Parser::parseText(std::string_view text, const std::string& path, int depth) {
    if (!path.empty())
        m_included.insert(path);
    const std::vector<std::string> lines = logicalLines(text);
    // The prefix each open block gives its lines; nothing for a block too deep to read, whose
    // lines are skipped.
    std::vector<std::optional<std::string>> blocks;
    const auto prefix = [&](std::string_view line) -> std::optional<std::string> {
        if (blocks.empty())
            return std::string(line);
        if (!blocks.back() || blocks.size() >= I3ConfigBindings::maxBlockDepth)
            return std::nullopt;
        std::string full = *blocks.back() + " " + std::string(line);
        if (full.size() > I3ConfigBindings::maxLineLength)
            return std::nullopt;
        return full;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line == "}") {
            if (!blocks.empty())
                blocks.pop_back();
            continue;
        }
        // A block opens at the end of its line or on a line of its own after it.
        bool opens = line.back() == '{';
        if (opens)
            line = trimmed(line.substr(0, line.size() - 1));
        else if (i + 1 < lines.size() && lines[i + 1] == "{") {
            opens = true;
            ++i;
        }
        if (opens) {
            blocks.push_back(prefix(line));
            continue;
        }
        if (const std::optional<std::string> command = prefix(line))
            run(*command, path, depth, nullptr);
    }
}

std::string Parser::expanded(std::string_view text) const {
    std::string result;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '$') {
            result += c;
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '$') { // "$$" is a dollar sign
            result += '$';
            i += 2;
            continue;
        }
        const auto variable =
            std::find_if(m_variables.begin(), m_variables.end(), [&](const auto& entry) {
                return text.substr(i).starts_with(entry.first);
            });
        if (variable == m_variables.end()) {
            result += c;
            ++i;
            continue;
        }
        result += variable->second;
        i += variable->first.size();
        if (result.size() > I3ConfigBindings::maxLineLength)
            break;
    }
    return result;
}

void Parser::run(std::string_view line, const std::string& path, int depth,
                 const std::string* mode) {
    std::string_view rest = line;
    const std::string command = lowered(nextWord(rest));
    if (command == "set") {
        set(rest);
        return;
    }
    const std::string arguments = expanded(rest);
    if (arguments.size() > I3ConfigBindings::maxLineLength)
        return;
    rest = arguments;
    if (command == "bindsym" || command == "bindcode" || command == "unbindsym" ||
        command == "unbindcode") {
        const auto kind =
            command.ends_with("sym") ? I3KeyBinding::Kind::symbol : I3KeyBinding::Kind::code;
        bind(rest, kind, mode, !command.starts_with("un"));
    } else if (command == "mode" && !mode) {
        // `mode NAME COMMAND`: the command belongs to that mode (a block's lines read so);
        // `mode NAME` alone switches modes at run time.
        std::string name = nextWord(rest);
        if (name == "--pango_markup")
            name = nextWord(rest);
        // A mode without a name is none the user can enter.
        if (!rest.empty() && !name.empty())
            run(rest, path, depth, &name);
    } else if (command == "include" && !mode) {
        include(rest, path, depth);
    }
}

void Parser::set(std::string_view rest) {
    std::string name = nextWord(rest);
    if (name.empty() || rest.empty())
        return;
    if (name.front() != '$')
        name.insert(name.begin(), '$');
    std::string value = expanded(rest);
    if (value.size() > I3ConfigBindings::maxLineLength)
        return;
    const auto same = std::find_if(m_variables.begin(), m_variables.end(),
                                   [&](const auto& entry) { return entry.first == name; });
    if (same != m_variables.end()) {
        same->second = std::move(value);
        return;
    }
    const auto place = std::find_if(m_variables.begin(), m_variables.end(), [&](const auto& entry) {
        return entry.first.size() < name.size();
    });
    m_variables.emplace(place, std::move(name), std::move(value));
}

void Parser::include(std::string_view rest, const std::string& path, int depth) {
    const std::string pattern = nextWord(rest);
    if (!m_reader || pattern.empty() || depth >= I3ConfigBindings::maxIncludeDepth ||
        m_included.size() > I3ConfigBindings::maxIncludedFiles)
        return;
    for (const I3ConfigBindings::IncludedFile& file : m_reader(pattern, path)) {
        if (m_included.count(file.path))
            continue; // each file once, as sway reads it
        if (m_included.size() > I3ConfigBindings::maxIncludedFiles)
            return;
        parseText(file.text, file.path, depth + 1);
    }
}

void Parser::bind(std::string_view rest, I3KeyBinding::Kind kind, const std::string* mode,
                  bool add) {
    I3KeyBinding binding;
    binding.kind = kind;
    if (mode && *mode != "default")
        binding.mode = *mode;
    std::string word = nextWord(rest);
    // Every other flag (--locked, --to-code, --no-repeat, --whole-window, --border,
    // --exclude-titlebar, --input-device=…, and any newer one) leaves the combination taken.
    while (word.starts_with("--")) {
        if (word == "--release")
            binding.release = true;
        word = nextWord(rest);
    }
    const std::optional<I3ConfigBindings::Combination> combination =
        I3ConfigBindings::combination(word, kind);
    if (!combination || (add && rest.empty()))
        return;
    binding.modifiers = combination->modifiers;
    binding.keys = combination->keys;
    binding.command = std::string(rest);
    // A binding of the same combination replaces the earlier one; an unbinding removes it.
    std::erase_if(m_bindings, [&](const I3KeyBinding& existing) {
        return existing.kind == binding.kind && existing.mode == binding.mode &&
               existing.modifiers == binding.modifiers && existing.keys == binding.keys &&
               existing.release == binding.release;
    });
    if (add)
        m_bindings.push_back(std::move(binding));
}

} // namespace

std::vector<I3KeyBinding> I3ConfigBindings::parse(std::string_view text, const std::string& path,
                                                  const IncludeReader& reader) {
    Parser parser(reader);
    parser.parseText(text, path, 0);
    return parser.take();
}

std::optional<std::uint8_t> I3ConfigBindings::modifierBit(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, std::uint8_t>, 14> names = {{
        {"shift", I3KeyBinding::shift},
        {"lock", I3KeyBinding::lock},
        {"caps", I3KeyBinding::lock},
        {"control", I3KeyBinding::control},
        {"ctrl", I3KeyBinding::control},
        {"mod1", I3KeyBinding::mod1},
        {"alt", I3KeyBinding::mod1},
        {"mod2", I3KeyBinding::mod2},
        {"mod3", I3KeyBinding::mod3},
        {"mod4", I3KeyBinding::mod4},
        {"super", I3KeyBinding::mod4},
        {"logo", I3KeyBinding::mod4},
        {"mod5", I3KeyBinding::mod5},
        {"altgr", I3KeyBinding::mod5},
    }};
    for (const auto& [known, bit] : names) {
        if (equalsIgnoringCase(name, known))
            return bit;
    }
    return std::nullopt;
}

std::optional<I3ConfigBindings::Combination>
I3ConfigBindings::combination(std::string_view text, I3KeyBinding::Kind kind) {
    Combination result;
    while (true) {
        const std::size_t plus = text.find('+');
        const std::string_view part = text.substr(0, plus);
        if (part.empty())
            return std::nullopt;
        if (const std::optional<std::uint8_t> bit = modifierBit(part)) {
            result.modifiers |= *bit;
        } else if (kind == I3KeyBinding::Kind::symbol) {
            result.keys.push_back(keysymName(part));
        } else if (const std::optional<std::string> code = keycode(part)) {
            result.keys.push_back(*code);
        } else {
            return std::nullopt;
        }
        if (plus == std::string_view::npos)
            break;
        text.remove_prefix(plus + 1);
    }
    if (result.keys.empty())
        return std::nullopt;
    std::sort(result.keys.begin(), result.keys.end());
    result.keys.erase(std::unique(result.keys.begin(), result.keys.end()), result.keys.end());
    return result;
}

I3ConfigBindings::IncludeReader I3ConfigBindings::fileReader() {
    return [](const std::string& pattern, const std::string& from) {
        std::string word = pattern;
        const std::size_t slash = from.rfind('/');
        if (!word.starts_with('/') && !word.starts_with('~') && !word.starts_with('$') &&
            slash != std::string::npos) {
            // The folder as one quoted shell word, then the pattern with its globs.
            std::string folder = "'";
            for (const char c : from.substr(0, slash + 1))
                folder += c == '\'' ? std::string("'\\''") : std::string(1, c);
            word = folder + "'" + word;
        }
        std::vector<IncludedFile> files;
        wordexp_t words{};
        if (wordexp(word.c_str(), &words, WRDE_NOCMD) != 0)
            return files;
        for (std::size_t i = 0; i < words.we_wordc; ++i) {
            std::error_code error;
            const std::filesystem::path file = std::filesystem::canonical(words.we_wordv[i], error);
            if (error || !std::filesystem::is_regular_file(file, error) ||
                std::filesystem::file_size(file, error) > maxFileSize)
                continue;
            std::ifstream in(file, std::ios::binary);
            std::string text{std::istreambuf_iterator<char>(in), {}};
            if (!in.bad())
                files.push_back({file.string(), std::move(text)});
        }
        wordfree(&words);
        return files;
    };
}

} // namespace halvo
