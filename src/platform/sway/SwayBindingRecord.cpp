// Reading and writing the binding record without trusting what is in its place.
#include "platform/sway/SwayBindingRecord.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvo {
namespace {

constexpr std::array<std::string_view, 4> modifierNames = {"Ctrl", "Mod1", "Mod4", "Shift"};
constexpr std::array<std::string_view, 4> arrowNames = {"Left", "Right", "Up", "Down"};

template <std::size_t N>
std::optional<std::size_t> indexOf(const std::array<std::string_view, N>& names,
                                   std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name)
            return i;
    }
    return std::nullopt;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Empty when the folder is a real directory of this user that nobody else can enter.
std::string folderProblem(const std::string& path) {
    const std::string folder = folderOf(path);
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0)
        return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(status.st_mode))
        return folder + " is not a folder";
    if (status.st_uid != ::geteuid())
        return folder + " belongs to another user";
    if ((status.st_mode & 07777) != 0700)
        return folder + " may be entered by other users";
    return {};
}

std::string fileProblem(const struct stat& status) {
    if (!S_ISREG(status.st_mode))
        return "is not a regular file";
    if (status.st_uid != ::geteuid())
        return "belongs to another user";
    if (static_cast<std::size_t>(status.st_size) > SwayBindingRecord::maxSize)
        return "is larger than " + std::to_string(SwayBindingRecord::maxSize) + " bytes";
    return {};
}

// The whole file, at most maxSize + 1 bytes (one more tells it grew).
std::optional<std::string> readAll(int fd) {
    std::string text(SwayBindingRecord::maxSize + 1, '\0');
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t n = ::read(fd, text.data() + length, text.size() - length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        length += static_cast<std::size_t>(n);
    }
    text.resize(length);
    return text;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool SwayBindingRecord::isCombination(std::string_view text) {
    unsigned seen = 0;
    std::size_t modifiers = 0;
    while (true) {
        const std::size_t plus = text.find('+');
        const std::string_view part = text.substr(0, plus);
        if (plus == std::string_view::npos)
            return modifiers > 0 && indexOf(arrowNames, part).has_value();
        const std::optional<std::size_t> modifier = indexOf(modifierNames, part);
        if (!modifier || (seen & (1u << *modifier)))
            return false;
        seen |= 1u << *modifier;
        ++modifiers;
        text.remove_prefix(plus + 1);
    }
}

SwayBindingRecord SwayBindingRecord::parse(std::string_view text,
                                           std::vector<std::string>& rejected) {
    SwayBindingRecord record;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (first) {
            record.socketPath = line;
            first = false;
        } else if (isCombination(line)) {
            record.combinations.emplace_back(line);
        } else if (!line.empty()) {
            rejected.emplace_back(line);
        }
    }
    return record;
}

std::optional<SwayBindingRecord> SwayBindingRecord::read(const std::string& path, Log& log) {
    const auto ignore = [&](const std::string& why) {
        log.write("Halvo: Ignoring the binding record " + path + ": " + why);
        return std::nullopt;
    };
    if (const std::string problem = folderProblem(path); !problem.empty())
        return ignore(problem);
    // Without O_NONBLOCK a FIFO put in its place would hold the open until a writer comes.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        return ignore(errno == ELOOP ? "it is a link" : std::strerror(errno));
    }
    struct stat status {};
    std::string problem = ::fstat(fd, &status) == 0 ? fileProblem(status) : std::strerror(errno);
    std::optional<std::string> text;
    if (problem.empty()) {
        text = readAll(fd);
        if (!text)
            problem = std::strerror(errno);
        else if (text->size() > maxSize)
            problem = "it grew past " + std::to_string(maxSize) + " bytes";
    }
    ::close(fd);
    if (!problem.empty())
        return ignore(problem);
    std::vector<std::string> rejected;
    SwayBindingRecord record = parse(*text, rejected);
    for (const std::string& line : rejected)
        log.write("Halvo: Ignoring a line of the binding record " + path +
                  " that is not a combination: " + line.substr(0, 80));
    return record;
}

bool SwayBindingRecord::write(const std::string& path, Log& log) const {
    const auto fail = [&](const std::string& why) {
        log.write("Halvo: Could not write the binding record " + path + ": " + why);
        return false;
    };
    if (const std::string problem = folderProblem(path); !problem.empty())
        return fail(problem);
    std::string text = socketPath + '\n';
    for (const std::string& combination : combinations)
        text += combination + '\n';
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(std::strerror(errno));
    const bool written = writeAll(fd, text);
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.c_str());
        return fail(std::strerror(written ? errno : error));
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return fail(std::strerror(errno));
    }
    return true;
}

} // namespace halvo
