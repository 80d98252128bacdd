// The single-instance socket between launches of one user: the folder it lives in must be the
// user's alone, each side checks who the other runs as, and requests are bounded. Cases with
// another user need root (to act as uid 65534) and are skipped otherwise.
#include "platform/linux/SingleInstance.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <glib.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace halvo {
namespace {

namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;

// A private test folder named in TMPDIR, with XDG_RUNTIME_DIR unset or pointing into it.
class SingleInstanceTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/halvo-instance-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        ::setenv("TMPDIR", folder.c_str(), 1);
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // Runs the main context until `child` has exited; its exit status, -1 after 10 s.
    static int waitWhileServing(pid_t child) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            g_main_context_iteration(nullptr, FALSE);
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) == child)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        return -1;
    }
    std::string folder;
};

// Without XDG_RUNTIME_DIR the socket goes to TMPDIR/halvo-UID, made for the user alone. One that
// is already there but a link, open to others or another user's is refused, so that nobody else
// can answer for a Halvo that does not run.
TEST_F(SingleInstanceTest, FallbackFolderIsTheUsersAlone) {
    const std::string own = folder + "/halvo-" + std::to_string(::getuid());
    {
        SingleInstance instance(":7");
        EXPECT_EQ(instance.path(), own + "/halvo-" + std::to_string(::getuid()) + "-:7");
        std::string error;
        ASSERT_TRUE(instance.listen(error)) << error;
        struct stat status {};
        ASSERT_EQ(::lstat(own.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u);
    }
    const std::vector<std::pair<std::string, std::function<void()>>> refused = {
        {"open to others", [&] { fs::permissions(own, fs::perms(0777)); }},
        {"a link",
         [&] {
             fs::remove_all(own);
             fs::create_directory(folder + "/elsewhere");
             fs::permissions(folder + "/elsewhere", fs::perms(0700));
             fs::create_directory_symlink(folder + "/elsewhere", own);
         }},
        {"another user's", [&] {
             fs::remove_all(own);
             fs::create_directory(own);
             fs::permissions(own, fs::perms(0700));
             if (::chown(own.c_str(), nobody, nobody) != 0)
                 fs::permissions(own, fs::perms(0755)); // not root: refused for its mode instead
         }}};
    for (const auto& [name, make] : refused) {
        make();
        SingleInstance instance(":7");
        std::string error;
        EXPECT_FALSE(instance.listen(error)) << name;
        EXPECT_NE(error.find(own), std::string::npos) << name << ": " << error;
        EXPECT_FALSE(instance.askRunning(false)) << name;
    }
}

// A listener made by a child acting as `user`: it answers every connection with `answer`.
pid_t answeringChild(const std::string& path, uid_t user, const char* answer) {
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    // Bound by root in root's folder; the peer's credentials are those of the process that calls
    // listen(). The parent returns once the child listens.
    int ready[2];
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child != 0) {
        ::close(listener);
        ::close(ready[1]);
        char byte = 0;
        const bool listening = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        return listening ? child : -1;
    }
    if (::seteuid(user) != 0 || ::listen(listener, 1) != 0)
        ::_exit(2);
    [[maybe_unused]] const ssize_t told = ::write(ready[1], "r", 1);
    const int client = ::accept(listener, nullptr, nullptr);
    char request[32];
    [[maybe_unused]] const ssize_t ignored = ::read(client, request, sizeof request);
    [[maybe_unused]] const ssize_t sent = ::write(client, answer, std::strlen(answer));
    ::close(client);
    ::_exit(0);
}

// Only an "ok" from a Halvo of the same user means that one runs.
TEST_F(SingleInstanceTest, OnlyTheUsersOwnHalvoCountsAsRunning) {
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    ::chmod(folder.c_str(), 0700);
    struct Case {
        const char* name;
        uid_t user;
        const char* answer;
        bool running;
    };
    for (const Case& row : {Case{"own, ok", ::getuid(), "ok\n", true},
                            Case{"own, other answer", ::getuid(), "no\n", false},
                            Case{"another user's, ok", nobody, "ok\n", false}}) {
        if (row.user != ::getuid() && ::geteuid() != 0)
            continue;
        SingleInstance instance(":8");
        const pid_t child = answeringChild(instance.path(), row.user, row.answer);
        ASSERT_GT(child, 0) << row.name;
        EXPECT_EQ(instance.askRunning(false), row.running) << row.name;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::unlink(instance.path().c_str());
    }
}

// A child acting as `user` that connects and sends `request`; it exits 0 when answered "ok".
pid_t askingChild(const std::string& path, uid_t user, const std::string& request) {
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    // Its own user, but root's access to the test folder: the peer credentials are the
    // effective user's, the path is looked up as the file-system user.
    if (::seteuid(user) != 0)
        ::_exit(2);
    if (user != ::getuid())
        ::setfsuid(0);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        ::_exit(3);
    [[maybe_unused]] const ssize_t sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char answer[3] = {};
    std::size_t length = 0;
    while (length < sizeof answer) {
        const ssize_t n = ::read(fd, answer + length, sizeof answer - length);
        if (n <= 0)
            break;
        length += static_cast<std::size_t>(n);
    }
    ::_exit(length == 3 && std::memcmp(answer, "ok\n", 3) == 0 ? 0 : 1);
}

// The listening Halvo answers launches of its own user only, and only a short request.
TEST_F(SingleInstanceTest, ListenerAnswersOnlyShortRequestsOfItsUser) {
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    ::chmod(folder.c_str(), 0700);
    SingleInstance instance(":9");
    int preferences = 0;
    instance.onPreferencesRequested = [&] { ++preferences; };
    std::string error;
    ASSERT_TRUE(instance.listen(error)) << error;
    struct Case {
        const char* name;
        uid_t user;
        std::string request;
        bool answered;
    };
    for (const Case& row : {Case{"own", ::getuid(), "preferences\n", true},
                            Case{"another user's", nobody, "preferences\n", false},
                            Case{"own, a megabyte long", ::getuid(),
                                 std::string(1 << 20, 'x') + "preferences\n", false}}) {
        if (row.user != ::getuid() && ::geteuid() != 0)
            continue;
        const int before = preferences;
        EXPECT_EQ(waitWhileServing(askingChild(instance.path(), row.user, row.request)),
                  row.answered ? 0 : 1)
            << row.name;
        EXPECT_EQ(preferences - before, row.answered ? 1 : 0) << row.name;
    }
}

} // namespace
} // namespace halvo
