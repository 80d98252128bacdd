// One Halvo per user and display: the first one listens on a local socket in a folder of the user
// alone; a later launch asks it to open Preferences ("halvo --preferences") or learns that it
// runs. Each side checks that the other runs as the same user.
#pragma once

#include <functional>
#include <string>

typedef struct _GCancellable GCancellable;
typedef struct _GObject GObject;
typedef struct _GSocketConnection GSocketConnection;
typedef struct _GSocketService GSocketService;
typedef int gboolean;
typedef void* gpointer;

namespace halvo {

class SingleInstance {
public:
    // `display` names the session's display (DISPLAY on X11, WAYLAND_DISPLAY on Wayland); two
    // sessions of one user each have their own Halvo.
    explicit SingleInstance(const std::string& display);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The socket's name for this user and display ("halvo-1000-:0", "halvo-1000-wayland-1"); a
    // path-like display has its slashes replaced.
    static std::string nameFor(unsigned userID, const std::string& display);
    // Where the socket is: in XDG_RUNTIME_DIR, else in halvo-UID in the temporary folder (made
    // when missing). Either must be a folder of the user with mode 0700; otherwise the path is
    // empty, nothing runs here and listen() says why.
    const std::string& path() const { return m_path; }

    // Asks a running Halvo to open its Preferences (or only whether it runs); true when one of
    // this user answered "ok" within about two seconds.
    bool askRunning(bool openPreferences) const;
    // Listens for later launches, replacing a socket left by a Halvo that died; false with
    // `error` set when that fails (later launches then start another Halvo).
    bool listen(std::string& error);

    // Runs on the main thread for each "halvo --preferences" of a later launch.
    std::function<void()> onPreferencesRequested;

private:
    static gboolean incoming(GSocketService* service, GSocketConnection* connection,
                             GObject* source, gpointer instance);

    std::string m_path;
    std::string m_problem; // why m_path is empty
    GCancellable* m_gone;
    GSocketService* m_service = nullptr;
};

} // namespace halvo
