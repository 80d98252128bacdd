// Reading, converting and atomically replacing the JSON settings file.
#include "platform/linux/JsonFileUserDefaults.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace halvo {

namespace fs = std::filesystem;
using nlohmann::json;

JsonFileUserDefaults::JsonFileUserDefaults(fs::path file, Log& log)
    : m_file(std::move(file)), m_log(log) {
    load();
}

fs::path JsonFileUserDefaults::defaultPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (configHome && *configHome && fs::path(configHome).is_absolute()) {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/") / ".config";
    }
    return base / "halvo" / "defaults.json";
}

std::optional<json> JsonFileUserDefaults::parse(std::string_view text) {
    // Keys Halvo does not know are kept and written back, and writing recurses once per level:
    // a file nested without bound would take the program down at every start.
    struct TooDeep {};
    const json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
        if (depth > maxDepth)
            throw TooDeep{};
        return true;
    };
    try {
        json parsed = json::parse(text, limitDepth, /*allow_exceptions=*/false);
        if (parsed.is_discarded() || !parsed.is_object())
            return std::nullopt;
        return parsed;
    } catch (const TooDeep&) {
        return std::nullopt;
    }
}

DefaultsValue JsonFileUserDefaults::valueFrom(const json& value) {
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number())
        return value.get<double>();
    if (value.is_array()) {
        std::vector<std::string> strings;
        strings.reserve(value.size());
        for (const json& element : value) {
            if (!element.is_string())
                return std::monostate{};
            strings.push_back(element.get<std::string>());
        }
        return strings;
    }
    return std::monostate{};
}

json JsonFileUserDefaults::jsonFrom(const DefaultsValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag;
    if (const auto* strings = std::get_if<std::vector<std::string>>(&value))
        return *strings;
    if (const auto* number = std::get_if<double>(&value)) {
        // 3.0 is stored as 3, so the file reads as the numbers it holds.
        constexpr double limit = 9007199254740992.0; // 2^53: every whole double below is exact
        if (std::isfinite(*number) && std::floor(*number) == *number && std::fabs(*number) < limit)
            return static_cast<std::int64_t>(*number);
        if (!std::isfinite(*number))
            return nullptr; // JSON has no infinities or NaN
        return *number;
    }
    return nullptr;
}

std::string JsonFileUserDefaults::serialize(const json& object) {
    return object.dump(4, ' ', false, json::error_handler_t::replace) + "\n";
}

std::optional<DefaultsValue> JsonFileUserDefaults::objectForKey(const std::string& key) const {
    const auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return valueFrom(*found);
}

void JsonFileUserDefaults::setObject(const std::string& key, DefaultsValue value) {
    m_values[key] = jsonFrom(value);
    save();
}

void JsonFileUserDefaults::load() {
    std::error_code error;
    if (!fs::exists(m_file, error))
        return;
    std::ifstream in(m_file, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        // Whatever the file holds, it must not be replaced by values it could not contribute to.
        m_readOnly = true;
        reportFailure("Could not read settings from " + m_file.string() +
                      "; changes are kept until Halvo quits");
        return;
    }
    if (auto parsed = parse(text.str())) {
        m_values = std::move(*parsed);
        return;
    }
    m_setAsideBeforeWrite = true;
    m_log.write("Halvo: " + m_file.string() +
                " is not a JSON object; using default settings. It will be kept as " +
                m_file.filename().string() + ".corrupt");
}

void JsonFileUserDefaults::save() {
    if (m_readOnly)
        return;
    std::error_code error;
    fs::create_directories(m_file.parent_path(), error);
    if (error) {
        reportFailure("Could not create " + m_file.parent_path().string() + ": " + error.message() +
                      "; settings are kept until Halvo quits");
        return;
    }
    if (m_setAsideBeforeWrite) {
        fs::path corrupt = m_file;
        corrupt += ".corrupt";
        fs::rename(m_file, corrupt, error);
        if (error && fs::exists(m_file)) {
            // Never overwrite what could not be set aside.
            reportFailure("Could not keep " + m_file.string() + " as " + corrupt.string() + ": " +
                          error.message() + "; settings are kept until Halvo quits");
            return;
        }
        m_setAsideBeforeWrite = false;
    }
    std::string message;
    if (!writeAtomically(serialize(m_values), message))
        reportFailure("Could not write settings to " + m_file.string() + ": " + message +
                      "; settings are kept until Halvo quits");
}

bool JsonFileUserDefaults::writeAtomically(const std::string& text, std::string& error) const {
    // A dotfile manager may keep defaults.json as a link into its own folder: the file it points
    // to is replaced, and the link stays. The new file keeps the old one's mode.
    std::error_code ignored;
    const fs::path target =
        fs::is_symlink(m_file, ignored) ? fs::weakly_canonical(m_file, ignored) : m_file;
    if (target.empty()) {
        error = "cannot follow the link " + m_file.string();
        return false;
    }
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    // A temporary file in the same folder, renamed over the old one: a reader sees the old file
    // or the new one, never a part of either.
    std::string pattern =
        (target.parent_path() / (target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const auto fail = [&](int code) {
        error = std::strerror(code);
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    };
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        written += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        error = std::strerror(errno);
        ::unlink(pattern.c_str());
        return false;
    }
    if (::rename(pattern.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(pattern.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void JsonFileUserDefaults::reportFailure(const std::string& message) {
    if (m_failureReported)
        return;
    m_failureReported = true;
    m_log.write("Halvo: " + message);
}

} // namespace halvo
