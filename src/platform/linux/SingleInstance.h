// One Halvo per user and display: the first one listens on a local socket; a later launch asks it
// to open Preferences ("halvo --preferences") or learns that it runs.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

namespace halvo {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // `display` names the session's display (DISPLAY on X11, WAYLAND_DISPLAY on Wayland); two
    // sessions of one user each have their own Halvo.
    explicit SingleInstance(const QString& display, QObject* parent = nullptr);

    // The socket name for this user and display ("halvo-1000-:0", "halvo-1000-wayland-1"); a
    // path-like display has its slashes replaced.
    static QString nameFor(unsigned userID, const QString& display);
    const QString& name() const { return m_name; }

    // Asks a running Halvo to open its Preferences (or only whether it runs); true when one
    // answered within about a second.
    bool askRunning(bool openPreferences) const;
    // Listens for later launches, replacing a socket left by a Halvo that died; false with
    // `error` set when that fails (later launches then start another Halvo).
    bool listen(std::string& error);

    // Runs on the main thread for each "halvo --preferences" of a later launch.
    std::function<void()> onPreferencesRequested;

private:
    void answer();

    QString m_name;
    QLocalServer m_server;
};

} // namespace halvo
