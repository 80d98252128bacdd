// A socket that stands in for sway's IPC socket: it passes every byte through to the real one
// and both ways back, and keeps the commands (RUN_COMMAND payloads) its clients sent, so that a
// test can tell what the window services asked sway to do, not only what sway did.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halvo::test {

class SwayCommandTap {
public:
    // Listens on a new socket in `folder`; connects each client to `swaySocket`.
    SwayCommandTap(const std::string& swaySocket, const std::string& folder);
    ~SwayCommandTap();
    SwayCommandTap(const SwayCommandTap&) = delete;
    SwayCommandTap& operator=(const SwayCommandTap&) = delete;

    // The socket to hand to clients instead of sway's.
    const std::string& path() const { return m_path; }
    // The commands sent since the last clear(), in order.
    std::vector<std::string> commands();
    void clear();

private:
    struct Link {
        int client;
        int sway;
        std::string pending; // the client's bytes not yet a whole message
    };

    void run();
    // Moves what `from` has to `to`; false when either side has closed.
    bool pass(int from, int to, std::string* pending);
    void record(std::string& pending);

    std::string m_swaySocket;
    std::string m_path;
    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    std::vector<Link> m_links;
    std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

} // namespace halvo::test
