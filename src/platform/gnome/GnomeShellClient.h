// Halvo's side of its GNOME Shell extension's D-Bus interface (shell-service.xml, from which the
// proxy is generated): the checks that the extension is the shell's and of Halvo's version, the
// calls with bounded waits, and the extension's signals. Calls may be made from any thread;
// signals arrive on the main thread.
#pragma once

#include "platform/Geometry.h"
#include "platform/WindowInfo.h"

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GnomeShellProxy;

namespace halvo {

class GnomeShellClient final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* extensionUuid = "halvo@c_seed_0d7007af.example";
    static constexpr const char* serviceName = "example.c_seed_0d7007af.halvo.Shell";
    static constexpr const char* objectPath = "/example/c_seed_0d7007af/halvo/Shell";
    // Halvo's own name on the session bus: the extension takes changes from its owner only.
    static constexpr const char* halvoName = "example.c_seed_0d7007af.halvo";
    static constexpr int callTimeoutMs = 2000;

    // One row of Halvo's menu in the top bar; the id comes back when the row is chosen.
    struct MenuRow {
        unsigned id = 0;
        std::string label;
        bool enabled = true;
        bool separator = false;
    };

    // What the user must do when the extension cannot serve Halvo on `bus`: one sentence, or
    // nothing. `version` is Halvo's.
    static std::optional<std::string> problem(const QDBusConnection& bus,
                                              const std::string& version);

    explicit GnomeShellClient(const QDBusConnection& bus);
    ~GnomeShellClient() override;

    // Takes Halvo's bus name (so that the extension accepts its changes) and starts following the
    // shell; false when the name is taken.
    bool start();

    std::optional<std::string> windowsText() const;
    std::optional<std::string> monitorsText() const;
    bool activate(WindowID window) const;
    bool raise(WindowID window) const;
    bool setMinimized(WindowID window, bool minimized) const;
    bool setFrame(WindowID window, int x, int y, int width, int height) const;
    bool setFullScreen(WindowID window, bool fullScreen) const;
    // 0 grabbed, 1 held by GNOME's own shortcuts, 2 failed (nothing: no answer).
    std::optional<unsigned> grabShortcut(unsigned action, const std::string& accelerator) const;
    void ungrabShortcut(unsigned action) const;
    // Shows `pixels` (premultiplied ARGB32) at `frame` in the shell's top chrome; hides it. Neither
    // waits for the shell.
    void showOverlay(const Rect& frame, const QImage& pixels) const;
    void hideOverlay() const;
    // Shows Halvo's button in the top bar with these rows as its menu; false when the extension
    // refused them.
    bool setMenu(const std::vector<MenuRow>& rows) const;

Q_SIGNALS:
    void windowsChanged();
    void focusChanged();
    void monitorsChanged();
    void shortcutPressed(uint action, bool repeat, uint modifiers);
    void arrowReleased(uint action);
    void modifiersChanged(uint modifiers);
    // kind: 0 enter, 1 leave, 2 motion, 3 press, 4 release; button: 1 left, 2 middle, 3 right.
    void overlayPointer(uint kind, double x, double y, uint button);
    // A row of Halvo's top-bar menu was chosen.
    void menuActivated(uint id);
    // GNOME Shell left the bus (it ended, crashed or the extension was turned off).
    void shellLost();

private:
    QDBusConnection m_bus;
    std::unique_ptr<GnomeShellProxy> m_proxy;
};

} // namespace halvo
